#pragma once
#include <QStringList>
#include <memory>

class QApplication;
class TfrmMain;

// Process start-up shared by the program, the screenshot tool and the
// start-up benchmark: the application's look and title, then the main
// window and the application-level forms. Null when start-up was stopped by
// a fatal problem (already reported to the user).
void PrepareApplication(QApplication &application);
std::unique_ptr<TfrmMain> CreateMainWindow(const QStringList &arguments);
