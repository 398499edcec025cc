#pragma once
// Off-screen drawing without a display: quorvel-fit and the tests draw charts where no window system
// may be running.
namespace quorvel {

// Makes sure a Qt application object exists. When none does, selects the offscreen platform (whatever
// QT_QPA_PLATFORM says) and creates a QApplication (widgets) or a QGuiApplication that lives until the
// process ends. Does nothing when an application object exists.
void EnsureOffscreenApplication(bool widgets = false);

}  // namespace quorvel
