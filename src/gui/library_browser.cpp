// The library browser "Defined properties": lists every material of the library, shows the
// selected one, edits it and deletes materials that are not in use.
#include "gui/library_browser.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <string>

#include "core/base/number_text.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/property_dialog.h"
#include "gui/qt_text.h"

namespace qv {
namespace {}  // namespace

TDefaultPropForm::TDefaultPropForm(TPROPClass& library, QWidget* parent)
    : QDialog(parent), mLibrary(library) {
  setObjectName(QStringLiteral("DefaultPropForm"));
  setWindowTitle(QStringLiteral("Defined properties"));
  setFixedSize(429, 166);

  ListBox1 = Make<QListWidget>(this, "ListBox1", 8, 8, 129, 150);
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox1->setToolTip(
      QStringLiteral("Select with left mouse button, options with right mouse button"));
  ListBox1->viewport()->installEventFilter(this);

  GroupBox1 = Make<QGroupBox>(this, "GroupBox1", 145, 4, 276, 118);
  GroupBox1->setTitle(QStringLiteral("selected properties:"));
  MakeLabel(GroupBox1, "Label8", "color", 10, 20, 40, 17);
  Label12 = MakeLabel(GroupBox1, "Label12", "", 56, 20, 210, 17);
  MakeLabel(GroupBox1, "Label9", "name", 10, 40, 40, 17);
  Label13 = MakeLabel(GroupBox1, "Label13", "", 56, 40, 210, 17);
  MakeLabel(GroupBox1, "Label10", "E", 10, 60, 40, 17);
  Label14 = MakeLabel(GroupBox1, "Label14", "", 56, 60, 140, 17);
  Label14->setToolTip(QStringLiteral("modulus of Elasticity in N/mm^2"));
  MakeLabel(GroupBox1, "Label16", "N/mm^2", 200, 60, 66, 17);
  MakeLabel(GroupBox1, "Label11", "rho", 10, 80, 40, 17);
  Label15 = MakeLabel(GroupBox1, "Label15", "", 56, 80, 140, 17);
  Label15->setToolTip(QStringLiteral("mass density in kg/m^3"));
  MakeLabel(GroupBox1, "Label17", "kg/m^3", 200, 80, 66, 17);
  CheckBox1 = Make<QCheckBox>(GroupBox1, "CheckBox1", 10, 98, 120, 17);
  CheckBox1->setText(QStringLiteral("in use"));
  CheckBox1->setToolTip(QStringLiteral("checked if this material is currently in use"));
  // Only the library decides whether a material is in use; the box merely shows it.
  CheckBox1->setAttribute(Qt::WA_TransparentForMouseEvents);
  CheckBox1->setFocusPolicy(Qt::NoFocus);

  BitBtn1 = Make<QPushButton>(this, "BitBtn1", 321, 130, 100, 28);
  BitBtn1->setText(QStringLiteral("Close"));
  BitBtn1->setToolTip(QStringLiteral("modifications will be stored"));

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Delete1 = PopupMenu1->addAction(QStringLiteral("Delete"));
  Delete1->setObjectName(QStringLiteral("Delete1"));
  Editproperties1 = PopupMenu1->addAction(QStringLiteral("Edit properties"));
  Editproperties1->setObjectName(QStringLiteral("Editproperties1"));
  mPopupRunner = [](QMenu& menu, const QPoint& screenPoint) { menu.exec(screenPoint); };

  connect(ListBox1, &QListWidget::itemSelectionChanged, this,
          [this] { Guarded([this] { ListBox1Click(); }); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this,
          [this] { Guarded([this] { ListBox1DblClick(); }); });
  connect(Delete1, &QAction::triggered, this, [this] { Guarded([this] { Delete1Click(); }); });
  connect(Editproperties1, &QAction::triggered, this,
          [this] { Guarded([this] { Editproperties1Click(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

  FormCreate();
  FillDefinedList();
  KeepLabelsPlain(this);
}

void TDefaultPropForm::ShowLaws(const LawTable& laws, const StrengthTable& strengths) {
  mLaws = &laws;
  mStrengths = &strengths;
  if (LawLabel == nullptr) {
    // Two rows more below the designed ones, the box and the form grown by them.
    constexpr int kMore = 40;
    setFixedSize(width(), height() + kMore);
    GroupBox1->resize(GroupBox1->width(), GroupBox1->height() + kMore);
    BitBtn1->move(BitBtn1->x(), BitBtn1->y() + kMore);
    ListBox1->resize(ListBox1->width(), ListBox1->height() + kMore);
    MakeLabel(GroupBox1, "LawCaption", "law", 10, 118, 40, 17);
    LawLabel = MakeLabel(GroupBox1, "LawLabel", "", 56, 118, 210, 17);
    LawLabel->setToolTip(QStringLiteral("stress-strain law for the resistance"));
    MakeLabel(GroupBox1, "StrengthCaption", "fc / ft", 10, 138, 40, 17);
    StrengthLabel = MakeLabel(GroupBox1, "StrengthLabel", "", 56, 138, 140, 17);
    StrengthLabel->setToolTip(QStringLiteral("strengths in compression / tension in N/mm^2"));
    MakeLabel(GroupBox1, "StrengthUnit", "N/mm^2", 200, 138, 66, 17);
    KeepLabelsPlain(this);
  }
  ListBox1Click();
}

void TDefaultPropForm::FormCreate() {
  mPopupEnabled = false;
  GroupBox1->hide();
}

void TDefaultPropForm::FillDefinedList() {
  mPopupEnabled = false;
  {
    // The selection signals of the refill would show half-filled states; one explicit
    // ListBox1Click below shows the result.
    const QSignalBlocker blocker(ListBox1);
    ListBox1->clear();
    for (const TPROPRec& entry : mLibrary) ListBox1->addItem(Q(entry.prop.colorlabel));
    if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
  }
  ListBox1Click();
  mPopupEnabled = true;
}

TPROPRec* TDefaultPropForm::SelectedEntry() {
  const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
  if (selected.isEmpty()) return nullptr;
  return mLibrary.FindByLabel(selected.front()->text().toStdString());
}

void TDefaultPropForm::ListBox1Click() {
  if (ListBox1->selectedItems().isEmpty()) {
    GroupBox1->hide();
    return;
  }
  const TPROPRec* entry = SelectedEntry();
  if (entry == nullptr) return;
  CheckBox1->setChecked(entry->inUse);
  Label12->setText(Q(entry->prop.colorlabel));
  Label13->setText(Q(entry->prop.name));
  Label14->setText(Q(FormatNumber(entry->prop.E)));
  Label15->setText(Q(FormatNumber(entry->prop.rho)));
  if (mLaws != nullptr && mStrengths != nullptr && LawLabel != nullptr) {
    const std::optional<Strength> strength = mStrengths->Get(entry->prop.colorlabel);
    const std::optional<MaterialLaw> law = mLaws->Get(entry->prop.colorlabel);
    LawLabel->setText(law ? Q(MaterialLawText(*law))
                          : Q(MaterialLawText(DefaultLaw(strength))) + " (default)");
    StrengthLabel->setText(
        strength ? Q(FormatNumber(strength->compression) + " / " + FormatNumber(strength->tension))
                 : QStringLiteral("none"));
  }
  GroupBox1->show();
}

void TDefaultPropForm::ListBox1DblClick() { Editproperties1Click(); }

void TDefaultPropForm::ListBox1MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton || !mPopupEnabled) return;
  // pos() of a window is its frame's top-left corner on the screen.
  mPopupRunner(*PopupMenu1, pos() + QPoint(100, 20));
}

void TDefaultPropForm::Delete1Click() {
  const TPROPRec* entry = SelectedEntry();
  if (entry == nullptr) return;
  const QString label = Q(entry->prop.colorlabel);
  if (entry->inUse) {
    Prompts().Error(QStringLiteral("Can not delete this ") + label +
                    QStringLiteral(" since it is in use."));
    return;
  }
  const int id = entry->id;
  if (!Prompts().Confirm(QStringLiteral("Delete ") + label + QStringLiteral(" from memory ?"))) {
    return;
  }
  mLibrary.Delete(id);
  FillDefinedList();
}

void TDefaultPropForm::Editproperties1Click() {
  TPROPRec* entry = SelectedEntry();
  if (entry == nullptr) return;
  EditMaterialRecord(this, entry->prop);
  // Also after a number that failed to convert: the name before it was stored.
  ListBox1Click();
}

void TDefaultPropForm::BitBtn1Click() { accept(); }

bool TDefaultPropForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonPress) {
    const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
    Guarded([this, button] { ListBox1MouseDown(button); });
    // The popup acts on the selected item, so the right button must not select another one.
    if (button == Qt::RightButton) return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace qv
