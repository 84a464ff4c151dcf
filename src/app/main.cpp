// The program: the main window, then the save-path and About dialogs, then the event loop.
// Returns 1 when the start-up found its configuration missing (after telling the user),
// 0 otherwise.
#include <QApplication>
#include <QScreen>

#include "app/about_dialog.h"
#include "app/device_session.h"
#include "app/directory_dialog.h"
#include "app/main_window.h"
#include "app/qt_dialog_provider.h"
#include "app/startup_folder.h"
#include "app/termination_signals.h"

namespace {

constexpr int kStartupFailed = 1;

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    dm::QtDialogProvider dialogs;
    dm::TForm1 form(dialogs);
    form.SetStartupFolder(dm::ChooseStartupFolder(dm::StartupFolderPlacesOfThisRun()));
    dm::DeviceSession session(form);
    if (!form.FormCreate()) {
        return kStartupFailed;
    }
    session.Attach();
    // SIGTERM, SIGINT and SIGHUP end the program as the Exit button does.
    const dm::TerminationSignals endingSignals(&form, [&form] { form.ExitBtnClick(); });
    // Created as the program starts and kept, never shown: the About box that Help, About
    // shows is built afresh on every opening.
    dm::TDirectoryDlg directoryDlg;
    dm::TAboutDlg aboutDlg(form.Parameters().companyTitle, form.Parameters().versionInfo,
                           form.StartupFolder());
    form.adjustSize();
    CentreOnScreen(form);
    form.show();
    return app.exec();
}
