// TDefinitionForm: the definitions picture, with the one button that switches to EURO-code.
#pragma once

#include <QDialog>

#include "core/base/sign_convention.h"

class QPushButton;

namespace qv {

class FittedPicture;

/// The definitions-picture dialog. Its result, as a SignConvention value, is 1 only when the
/// user confirmed the change to EURO-code; closing it any other way gives 0. QDialog's own
/// result follows the same rule (Accepted is 1, Rejected is 0).
class TDefinitionForm : public QDialog {
 public:
  explicit TDefinitionForm(QWidget* owner = nullptr);

  /// The caption of the button before the change.
  static const QString kChangeToEuroCaption;
  /// The caption of the button after the change.
  static const QString kChangeToDefaultCaption;
  /// The question the button asks.
  static const QString kChangeQuestion;

  /// True once the user confirmed the change; stays true until the dialog is freed.
  bool ConventionChanged = false;

  /// The SignConvention the owner takes over: 1 when ConventionChanged, else 0.
  SignConvention ConventionResult() const {
    return ConventionChanged ? SignConvention::EuroCode : SignConvention::DorvastPelkam;
  }

  /// "Change to EURO-code definitions": asks, and on Yes records the change and closes.
  void Button1Click();

 private:
  void FormCreate();

  FittedPicture* Image1 = nullptr;
  QPushButton* Button1 = nullptr;
};

}  // namespace qv
