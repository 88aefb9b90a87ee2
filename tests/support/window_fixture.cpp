#include "window_fixture.h"

#include <QTest>

namespace support {

bool FakeDialogs::run(QWidget*, orvex::ui::FileDialog& dialog)
{
    QStringList& queued = answers[dialog.objectName];
    if (queued.isEmpty())
        return false;
    dialog.fileName = queued.takeFirst();
    return true;
}

void FakeDialogs::message(QWidget*, orvex::ui::MessageKind kind, const QString& text)
{
    messages << (kind == orvex::ui::MessageKind::Error ? "error: " : "notice: ") + text;
}

WindowFixture::WindowFixture() : w(nullptr, bench.state.get())
{
    w.setPlayerFolder(QString::fromStdString(bench.players));
}

void WindowFixture::showAt(QPoint corner)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.move(corner);
    QTRY_COMPARE(w.frameGeometry().topLeft(), corner);
}

void WindowFixture::load(const std::string& module)
{
    dialogs.answers["OD"] << QString::fromStdString(module);
    w.LoadAtariMSX1->trigger();
}

} // namespace support
