#include "program.h"

#include "commport.h"
#include "form1.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace Quorin {

#ifdef Q_OS_WIN
// Global\: seen from every session, so that an installer run by another user sees it too.
// Both readers hold the same name; it goes when the last of them ends.
RunningMark::RunningMark()
    : m_handle(::CreateMutexW(nullptr, FALSE, L"" QUORIN_RUNNING_MUTEX))
{
}

RunningMark::~RunningMark()
{
    if (m_handle)
        ::CloseHandle(m_handle);
}
#else
RunningMark::RunningMark() = default;
#endif

void prepareApplication(QApplication &app, const QString &name)
{
    app.setApplicationName(name);
    app.setApplicationVersion(QString::fromLatin1(QUORIN_VERSION));
    QIcon icon;
    icon.addFile(u":/quorin/icons/quorin-32.png"_s, QSize(32, 32));
    icon.addFile(u":/quorin/icons/quorin-16.png"_s, QSize(16, 16));
    app.setWindowIcon(icon);
    // Qt's own words, such as a text box's context menu, in Italian like the rest of the window,
    // on every system.
    auto *qtItalian = new QTranslator(&app);
    if (qtItalian->load(u":/quorin/translations/qtbase_it.qm"_s))
        QCoreApplication::installTranslator(qtItalian);
}

void showReport(QWidget &window, const QString &message)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    std::fflush(stderr);
    // Plain text: a report quotes what a device and the system say, never markup to render.
    QMessageBox report(QMessageBox::Critical, window.windowTitle(), message, QMessageBox::Ok,
                       window.isVisible() ? &window : nullptr);
    report.setTextFormat(Qt::PlainText);
    report.exec();
}

int runReader(Form1 &form)
{
    try {
        form.load();
    } catch (const SerialError &error) {
        form.fail(error.message());
        return 1;
    }
    form.show();
    return QApplication::exec();
}

} // namespace Quorin
