// TAboutBox: the about box that is also the settings dialog of the program section.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <vector>

#include "core/base/colour_label.h"
#include "core/base/sign_convention.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;
class QPushButton;

namespace qv {

struct ProgramSettings;
class FittedPicture;
class TNumberEdit;

/// The settings dialog. The main window fills it with Fill, runs it modally and takes every
/// value back with TakeBack, whatever the user did: there is no cancel.
class TAboutBox : public QDialog {
 public:
  /// Places itself 135 pixels right of and 45 below the top-left corner of `owner`'s window.
  explicit TAboutBox(QWidget* owner = nullptr);

  /// The maker's support address of the mail link.
  static const QString kSupportAddress;
  /// "mailto:" link with subject and body, joined as they stand without any encoding.
  static QString MailLink();
  /// The designed hint of a font button: "Set graphics font\rcurrent font is <name> size is
  /// <points>", with the program's single "\r" line break. Tooltips show it with "\n".
  static QString FontButtonHint(const QString& name, int pointSize);
  /// The colours a colour selector offers, in order: 16 basic, 4 extended, then the system
  /// colours of the colour-name table ("clNone" and "clDefault" are not offered).
  static const std::vector<ColourValue>& OfferedColours();

  /// Shows `settings` and `graphicsFont` (its name, size and style become the working font).
  void Fill(const ProgramSettings& settings, const QFont& graphicsFont);
  /// Takes every value back: the working font's name, size and style into `graphicsFont`,
  /// DialogConvention, the check boxes (the reading of smoothed edges among them), the units,
  /// the colours and the precision into `settings`. A
  /// colour that is none of the offered ones and was left alone comes back unchanged.
  void TakeBack(ProgramSettings& settings, QFont& graphicsFont) const;

  /// The dialog's working copy of SignConvention.
  SignConvention DialogConvention = SignConvention::DorvastPelkam;
  /// Shows DialogConvention: the colour of "Definitions:", the two curvature texts and the
  /// literature lines. Values other than 0 and 1 change nothing.
  void ShowConvention();
  /// A mouse press on "Definitions:": the right button asks and switches DialogConvention;
  /// left and middle open the definitions picture, only while the label is blue.
  void Label13MouseDown(Qt::MouseButton button);
  /// The font button: the font dialog on the working font; on OK the working font and the
  /// button's hint follow the choice.
  void SpeedButton2Click();
  /// A mouse press on the example picture: the right button shows the special keys.
  void Image1MouseDown(Qt::MouseButton button);
  /// The maker link: opens the mail link.
  void Label5Click();

  /// The dialog's working copy of the graphics font.
  QFont WorkingFont() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildUpperPanel(QWidget* panel);
  void BuildSettingsPanel(QWidget* panel);
  void SetWorkingFont(const QFont& font);

  FittedPicture* Image1 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label13 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label9 = nullptr;
  QLabel* Label10 = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* FontLabel = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* CheckBox4 = nullptr;  ///< "read smoothed edges as coverage"
  TNumberEdit* NumberEdit1 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QComboBox* UnitsBox = nullptr;  ///< the units of the reports, dialogs and values
  QToolButton* SpeedButton2 = nullptr;
  QPushButton* OKButton = nullptr;
};

}  // namespace qv
