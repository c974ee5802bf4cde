// The frame of the tests of the dialogs over an analysed section.
#include "support/analysed_window_test.h"

#include <QListView>
#include <QTest>
#include <algorithm>

#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"

namespace qv::test {

void AnalysedWindowTest::init() {
  WindowTest::init();
  WriteAll(mDir->File("properties.ini"), "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n");
}

void AnalysedWindowTest::Analysed(TMainForm& form, const PixelGrid& picture, const QString& widthMm,
                                  const QString& heightMm) {
  mPrompts->ExpectOpenPicture(QString::fromStdString(mDir->WritePicture("channel.bmp", picture)));
  form.OpenPicture1Click();
  const auto& labels = form.Session().FoundLabels();
  const auto red = std::find(labels.begin(), labels.end(), "clRed") - labels.begin();
  SelectRow(*RequireChild<QListView>(form, "ListBox1"), static_cast<int>(red));
  form.ListBox1DblClick();
  TypeSizes(form, widthMm, heightMm);
  form.Timer2Timer();
  form.Button1Click();
  QVERIFY(form.Session().ElasticOffered());
}

}  // namespace qv::test
