#include "support.h"

#include <QFile>
#include <QTest>

namespace testing_ui {

namespace {

// The offscreen platform reports, for every pop-up menu, that it cannot raise
// windows or grab the keyboard; those notes say nothing about the program.
QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support")))
        return;
    previousHandler(type, context, text);
}

} // namespace

void quietPlatformNotes()
{
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(quietHandler);
}

FakeDialogs::FakeDialogs()
{
    orvex::ui::setDialogs(this);
}

FakeDialogs::~FakeDialogs()
{
    orvex::ui::setDialogs(nullptr);
}

void FakeDialogs::answer(const QString& name, std::optional<QString> path)
{
    answers_.emplace_back(name, std::move(path));
}

bool FakeDialogs::run(QWidget*, orvex::ui::FileDialog& dialog)
{
    runs.push_back({dialog.objectName, dialog.fileName, dialog.initialFolder});
    for (auto it = answers_.begin(); it != answers_.end(); ++it) {
        if (it->first != dialog.objectName)
            continue;
        const std::optional<QString> path = it->second;
        answers_.erase(it);
        if (!path)
            return false;
        dialog.fileName = *path;
        return true;
    }
    return false;
}

void FakeDialogs::message(QWidget*, orvex::ui::MessageKind kind, const QString& text)
{
    messages.push_back({kind, text});
}

QStringList FakeDialogs::messageTexts() const
{
    QStringList texts;
    for (const Message& m : messages)
        texts << m.text;
    return texts;
}

int FakeDialogs::runsOf(const QString& name) const
{
    int count = 0;
    for (const Run& r : runs)
        count += r.dialog == name ? 1 : 0;
    return count;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray atariModule(int start, int end, int length, const QByteArray& body)
{
    QByteArray out = bytes({0xFF, 0xFF, start & 0xFF, start >> 8, end & 0xFF, end >> 8});
    out += body;
    for (int i = static_cast<int>(out.size()); i < length; ++i)
        out.append(static_cast<char>((i * 7 + 3) & 0xFF));
    return out;
}

QByteArray playerFile(int codeLength, int seed)
{
    QByteArray out = bytes({0xFF, 0xFF, 0x00, 0x05, (0x0500 + codeLength - 1) & 0xFF, (0x0500 + codeLength - 1) >> 8});
    for (int i = 0; i < codeLength; ++i)
        out.append(static_cast<char>((i * 13 + seed) & 0xFF));
    return out;
}

void writePlayers(const QString& folder)
{
    writeFile(folder + "/cmc_0500.plr", playerFile(300, 1));
    writeFile(folder + "/mpt_0500.plr", playerFile(400, 2));
    writeFile(folder + "/tmc_0500.plr", playerFile(500, 3));
}

} // namespace testing_ui
