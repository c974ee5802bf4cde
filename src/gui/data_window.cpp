// The diagnostic data window "DataForm": both material containers side by side.
#include "gui/data_window.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <charconv>
#include <optional>
#include <string>

#include "core/base/number_text.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"

namespace qv {
namespace {

QLabel* AddRow(QFormLayout& form, const QString& prefix, const char* caption, const char* key) {
  auto* value = new QLabel;
  value->setObjectName(prefix + QString::fromLatin1(key));
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form.addRow(QString::fromLatin1(caption), value);
  return value;
}

// One half: title, list and its hidden details box.
QVBoxLayout* MakeHalf(QWidget& owner, const char* title, const char* listName, const char* boxName,
                      const QString& prefix, QListWidget*& list, QGroupBox*& box,
                      RecordLabels& values) {
  auto* half = new QVBoxLayout;
  auto* heading = new QLabel(QString::fromLatin1(title), &owner);
  heading->setObjectName(QString::fromLatin1(title));
  half->addWidget(heading);
  list = new QListWidget(&owner);
  list->setObjectName(QString::fromLatin1(listName));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  half->addWidget(list, 1);
  box = new QGroupBox(QStringLiteral("selected properties:"), &owner);
  box->setObjectName(QString::fromLatin1(boxName));
  auto* form = new QFormLayout(box);
  values.color = AddRow(*form, prefix, "color", "Color");
  values.name = AddRow(*form, prefix, "name", "Name");
  values.E = AddRow(*form, prefix, "E", "E");
  values.rho = AddRow(*form, prefix, "rho", "Rho");
  values.xmin = AddRow(*form, prefix, "xmin", "Xmin");
  values.xmax = AddRow(*form, prefix, "xmax", "Xmax");
  values.ymin = AddRow(*form, prefix, "ymin", "Ymin");
  values.ymax = AddRow(*form, prefix, "ymax", "Ymax");
  half->addWidget(box);
  box->hide();
  return half;
}

void ShowRecord(const PROPRec& record, const RecordLabels& values) {
  values.color->setText(Q(record.colorlabel));
  values.name->setText(Q(record.name));
  values.E->setText(Q(FormatNumber(record.E)));
  values.rho->setText(Q(FormatNumber(record.rho)));
  values.xmin->setText(QInteger(record.xmin));
  values.xmax->setText(QInteger(record.xmax));
  values.ymin->setText(QInteger(record.ymin));
  values.ymax->setText(QInteger(record.ymax));
}

void FillList(QListWidget& list, const TPROPClass& container) {
  for (const TPROPRec& entry : container) list.addItem(Q(entry.prop.colorlabel));
}

// The selected label; nothing when no item is selected.
std::optional<std::string> SelectedLabel(const QListWidget& list) {
  const QList<QListWidgetItem*> selected = list.selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  return selected.front()->text().toStdString();
}

}  // namespace

TDataForm::TDataForm(const TPROPClass& foundColours, const TPROPClass& library, QWidget* parent)
    : QDialog(parent), mFoundColours(foundColours), mLibrary(library) {
  setObjectName(QStringLiteral("DataForm"));
  setWindowTitle(QStringLiteral("DataForm"));
  resize(621, 536);

  auto* halves = new QHBoxLayout(this);
  halves->addLayout(MakeHalf(*this, "GLOBData", "ListBox1", "GroupBox1", QStringLiteral("Glob"),
                             ListBox1, GroupBox1, GlobValues));
  QVBoxLayout* right = MakeHalf(*this, "PROPData", "ListBox2", "GroupBox2", QStringLiteral("Prop"),
                                ListBox2, GroupBox2, PropValues);
  CheckBox1 = new QCheckBox(QStringLiteral("in use"), GroupBox2);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  static_cast<QFormLayout*>(GroupBox2->layout())->addRow(CheckBox1);
  halves->addLayout(right);

  FillList(*ListBox1, mFoundColours);
  FillList(*ListBox2, mLibrary);

  connect(ListBox1, &QListWidget::itemSelectionChanged, this,
          [this] { Guarded([this] { ListBox1Click(); }); });
  connect(ListBox2, &QListWidget::itemSelectionChanged, this,
          [this] { Guarded([this] { ListBox2Click(); }); });
  KeepLabelsPlain(this);
}

void TDataForm::ListBox1Click() {
  const std::optional<std::string> label = SelectedLabel(*ListBox1);
  if (!label) {
    GroupBox1->hide();
    return;
  }
  const TPROPRec* entry = mFoundColours.FindByLabel(*label);
  if (entry == nullptr) return;
  ShowRecord(entry->prop, GlobValues);
  GroupBox1->show();
}

void TDataForm::ListBox2Click() {
  const std::optional<std::string> label = SelectedLabel(*ListBox2);
  if (!label) {
    GroupBox2->hide();
    return;
  }
  const TPROPRec* entry = mLibrary.FindByLabel(*label);
  if (entry == nullptr) return;
  ShowRecord(entry->prop, PropValues);
  CheckBox1->setChecked(entry->inUse);
  GroupBox2->show();
}

}  // namespace qv
