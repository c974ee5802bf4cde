// The results box of the main window: its values and the convention's captions.
#include "gui/main_window_panels.h"

#include <QLabel>
#include <QString>
#include <string>
#include <string_view>

#include "core/base/sign_convention.h"
#include "core/base/units.h"
#include "core/section/result_text.h"
#include "gui/qt_text.h"

namespace qv {

void ResultsBox::Show(const CentreTexts& c, const StiffnessTexts& t) const {
  Label23->setText(Q(c.ea));
  Label24->setText(Q(c.ncHor));
  Label25->setText(Q(c.ncVer));
  Label47->setText(Q(c.mass));
  Label12->setText(Q(c.mcHor));
  Label45->setText(Q(c.mcVer));
  Label23->setToolTip(Q(t.hintEA));
  Label26->setToolTip(Q(t.hintEIyy));
  Label27->setToolTip(Q(t.hintEIzz));
  Label40->setToolTip(Q(t.hintEIyz));
  Label50->setToolTip(Q(t.hintEI1));
  Label53->setToolTip(Q(t.hintEI2));
  Label56->setText(Q(t.alpha));
  Label26->setText(Q(t.eiyy));
  Label27->setText(Q(t.eizz));
  Label40->setText(Q(t.eiyz));
  Label50->setText(Q(t.ei1));
  Label53->setText(Q(t.ei2));
}

void ResultsBox::ShowUnits(UnitSystem units) const {
  EAUnit->setText(Q(std::string(UnitText(Quantity::Force, units))));
  NCUnit->setText(Q(std::string(UnitText(Quantity::Length, units))));
  MCUnit->setText(NCUnit->text());
  for (QLabel* label : {EIyyUnit, EIzzUnit, EIyzUnit, EI1Unit, EI2Unit}) {
    label->setText(Q(std::string(UnitText(Quantity::Stiffness, units))));
  }
}

void ResultsBox::Clear() const {
  for (QLabel* label : {Label23, Label26, Label40, Label27, Label50, Label53}) {
    label->setText("0");
    label->setToolTip("0");
  }
  Label47->setText("0");
  Label56->setText("0");
}

void ResultsBox::ApplyTerms(const ConventionTerms& terms) const {
  const auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), s.size()); };
  EIyyCaption->setText(text(terms.eiyy));
  EIyyCaption->setToolTip(text(terms.eiyyHint));
  EIzzCaption->setText(text(terms.eizz));
  EIzzCaption->setToolTip(text(terms.eizzHint));
  // The value labels move with the caption row that names them: the upper row lists first.
  const int yyTop = terms.zzFirst ? 104 : 88;
  const int zzTop = terms.zzFirst ? 88 : 104;
  EIyyCaption->move(EIyyCaption->x(), yyTop);
  Label26->move(Label26->x(), yyTop);
  EIzzCaption->move(EIzzCaption->x(), zzTop);
  Label27->move(Label27->x(), zzTop);
  EIyzCaption->setText("EIyz");
  EIyzCaption->setToolTip("product bending stiffness");
  AlphaCaption->setText(text(terms.alpha));
}

}  // namespace qv
