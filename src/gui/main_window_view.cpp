// The main window's menu "View": the section view window, opened from the menu or by a double
// click on the picture, and kept up to date with the window's state.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "gui/main_window.h"
#include "gui/prompter.h"
#include "gui/section_view.h"

namespace qv {

void TMainForm::BuildViewMenu() {
  mMenus.View1 = menuBar()->addMenu("View");
  mMenus.View1->setObjectName("View1");
  mMenus.SectionView1 = mMenus.View1->addAction("Section view ...");
  mMenus.SectionView1->setObjectName("SectionView1");
  connect(mMenus.SectionView1, &QAction::triggered, this,
          [this] { Guarded([this] { SectionView1Click(); }); });
}

void TMainForm::SectionView1Click() {
  if (mBusy) return;
  if (mSectionView == nullptr) {
    mSectionView = new SectionViewWindow(
        mSession, [this] { return mResultOverlayShown; }, [this] { return ScaleNote(); }, this);
    connect(this, &TMainForm::SectionStateChanged, mSectionView,
            [this] { Guarded([this] { mSectionView->Refresh(); }); });
  }
  mSectionView->show();
  mSectionView->raise();
  mSectionView->activateWindow();
}

}  // namespace qv
