// Qt's own file dialogs and message boxes as the window uses them: settings made
// from the stored ones, patterns matched in any letter case, no overwrite question,
// a sample name that does not exist accepted, the names and filters kept.

#include "Orx_u.h"
#include "dialogs.h"
#include "support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using orvex::ui::FileDialog;
using orvex::ui::QtDialogs;

namespace {

// Works on the modal windows that come up while a dialog runs: `step` gets the
// active modal window every few milliseconds until it answers true. Should that not
// come within a long while, every modal window is cancelled, so that the test ends.
class ModalDriver {
public:
    explicit ModalDriver(std::function<bool(QWidget*)> step) : step_(std::move(step))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (++ticks_ > 2000) {
                gaveUp_ = true;
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    dialog->reject();
                return;
            }
            if (QWidget* modal = QApplication::activeModalWidget(); modal && step_(modal))
                timer_.stop();
        });
        timer_.start(10);
    }
    bool done() const { return !timer_.isActive() && !gaveUp_; }

private:
    std::function<bool(QWidget*)> step_;
    QTimer timer_;
    int ticks_ = 0;
    bool gaveUp_ = false;
};

// Confirms a dialog once the driver's step has returned: a confirmation may open a
// modal box of its own, which the driver must be free to answer.
void accept(QDialog* dialog)
{
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}

// Types a name into the file dialog's name box, as the user would.
void typeName(QFileDialog* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    edit->selectAll();
    QTest::keyClicks(edit, name);
}

QStringList shownNames(QFileDialog& dialog)
{
    auto* list = dialog.findChild<QListView*>("listView");
    QStringList names;
    if (!list)
        return names;
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row)
        names << list->model()->index(row, 0, root).data().toString();
    names.sort();
    return names;
}

// The dialog has listed its folder and marked the file it was opened with, as the
// user sees it before picking or typing another.
bool settled(QFileDialog& dialog, const QString& preselected)
{
    auto* list = dialog.findChild<QListView*>("listView");
    if (!list || !list->selectionModel() || !shownNames(dialog).contains(preselected))
        return false;
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.size() == 1 && rows.first().data().toString() == preselected;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<orvex::ConversionState> state;
    std::unique_ptr<TSW> w;
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void initTestCase()
    {
        testing_ui::quietPlatformNotes();
    }
    void init()
    {
        state = std::make_unique<orvex::ConversionState>();
        w = std::make_unique<TSW>(nullptr, state.get());
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }
    void cleanup()
    {
        w.reset();
        state.reset();
        dir.reset();
    }

    void settings()
    {
        QFileDialog od;
        QtDialogs::configure(od, w->OD);
        QCOMPARE(od.objectName(), QString("OD"));
        QCOMPARE(od.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(od.fileMode(), QFileDialog::ExistingFile);
        QVERIFY(od.testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(od.nameFilters(), w->OD.nameFilters());
        QCOMPARE(od.selectedNameFilter(), QString("All supported types (*.CMC *.MPT *.MD1 *.TMC *.TM8 *.COM)"));
        QCOMPARE(od.defaultSuffix(), QString());

        QFileDialog sd;
        QtDialogs::configure(sd, w->SD);
        QCOMPARE(sd.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(sd.fileMode(), QFileDialog::AnyFile);
        QVERIFY(sd.testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(sd.nameFilters(), QStringList({"Slight Atari Player file (*.SAP)"}));
        QCOMPARE(sd.defaultSuffix(), QString());

        w->ODS.initialFolder = dir->path();
        QFileDialog ods;
        QtDialogs::configure(ods, w->ODS);
        QCOMPARE(ods.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(ods.fileMode(), QFileDialog::AnyFile);
        QCOMPARE(QDir(ods.directory()), QDir(dir->path()));
        QCOMPARE(ods.nameFilters(), QStringList({"Samples for .MD1 file (*.D15)"}));
    }

    // The patterns match names in any letter case.
    void patternsMatchAnyCase()
    {
        for (const char* name : {"song.mpt", "SONG2.MPT", "Tune.Cmc", "digi.md1", "other.txt", "song.sap"})
            testing_ui::writeFile(dir->filePath(name), "x");
        w->OD.fileName = dir->filePath("song.mpt");
        QFileDialog od;
        QtDialogs::configure(od, w->OD);
        od.show();
        QTRY_COMPARE(shownNames(od), QStringList({"SONG2.MPT", "Tune.Cmc", "digi.md1", "song.mpt"}));
        od.selectNameFilter("Chaos Music Composer (*.CMC)");
        QTRY_COMPARE(shownNames(od), QStringList({"Tune.Cmc"}));
        od.close();

        w->SD.fileName = dir->filePath("x.SAP");
        QFileDialog sd;
        QtDialogs::configure(sd, w->SD);
        sd.show();
        QTRY_COMPARE(shownNames(sd), QStringList({"song.sap"}));
    }

    // "Save SAP file as..." replaces an existing file without a question and keeps
    // the name for its next run.
    void saveDialogAsksNothing()
    {
        const QString existing = dir->filePath("old.sap");
        testing_ui::writeFile(existing, "old");
        w->SD.fileName = existing;
        bool questioned = false;
        QString preselected;
        ModalDriver driver([&](QWidget* modal) {
            if (qobject_cast<QMessageBox*>(modal)) {
                questioned = true;
                static_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
                return false;
            }
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return false;
            preselected = dialog->selectedFiles().value(0);
            accept(dialog);
            return true;
        });
        QVERIFY(QtDialogs().run(w.get(), w->SD));
        QVERIFY(driver.done());
        QVERIFY(!questioned);
        QCOMPARE(preselected, existing);
        QCOMPARE(w->SD.fileName, existing);

        // The next run opens with that name
        QString typed;
        preselected.clear();
        ModalDriver again([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog || !settled(*dialog, "old.sap"))
                return false;
            preselected = dialog->selectedFiles().value(0);
            typed = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            typeName(dialog, "no extension");  // over the name the dialog offers
            accept(dialog);
            return true;
        });
        QVERIFY(QtDialogs().run(w.get(), w->SD));
        QVERIFY(again.done());
        QCOMPARE(preselected, existing);
        QCOMPARE(typed, QString("old.sap"));
        QCOMPARE(w->SD.fileName, dir->filePath("no extension"));  // taken as typed
    }

    // The sample dialog takes a name of a file that does not exist; the module
    // dialog does not.
    void nonexistentNames()
    {
        w->ODS.initialFolder = dir->path();
        ModalDriver typing([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return false;
            typeName(dialog, "missing.D15");
            accept(dialog);
            return true;
        });
        QVERIFY(QtDialogs().run(w.get(), w->ODS));
        QVERIFY(typing.done());
        QCOMPARE(w->ODS.fileName, dir->filePath("missing.D15"));

        w->OD.fileName.clear();
        int step = 0;
        QString warning;
        ModalDriver refuse([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                warning = box->text();
                box->accept();
                step = 2;
                return false;
            }
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return false;
            if (step == 0) {
                dialog->setDirectory(dir->path());
                typeName(dialog, "missing.MPT");
                step = 1;
                accept(dialog);
                return false;
            }
            if (step == 2) {
                dialog->reject();
                return true;
            }
            return false;
        });
        QVERIFY(!QtDialogs().run(w.get(), w->OD));
        QVERIFY(refuse.done());
        QVERIFY(!warning.isEmpty());
        QVERIFY(w->OD.fileName.isEmpty());
    }

    // A confirmed module dialog keeps its file name and the filter chosen; a
    // cancelled one changes nothing.
    void keptBetweenRuns()
    {
        testing_ui::writeFile(dir->filePath("a.tmc"), "x");
        testing_ui::writeFile(dir->filePath("b.TMC"), "x");
        w->OD.fileName = dir->filePath("a.tmc");
        QString opened;
        int step = 0;
        ModalDriver pick([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return false;
            auto* list = dialog->findChild<QListView*>("listView");
            switch (step) {
            case 0:  // listed, with the file it was opened with marked
                if (!settled(*dialog, "a.tmc"))
                    return false;
                opened = dialog->directory().absolutePath();
                dialog->selectNameFilter("Theta Music Composer, mono (*.TMC)");
                step = 1;
                return false;
            case 1:  // the user clicks the other file
                if (shownNames(*dialog) != QStringList({"a.tmc", "b.TMC"}))
                    return false;
                for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
                    const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
                    if (index.data().toString() == "b.TMC")
                        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
                }
                step = 2;
                return false;
            default:  // and confirms
                if (dialog->selectedFiles().value(0) != dir->filePath("b.TMC"))
                    return false;
                accept(dialog);
                return true;
            }
        });
        QVERIFY(QtDialogs().run(w.get(), w->OD));
        QVERIFY(pick.done());
        QCOMPARE(QDir(opened), QDir(dir->path()));
        QCOMPARE(w->OD.fileName, dir->filePath("b.TMC"));
        QCOMPARE(w->OD.filterIndex, 4);

        QString filter, selected;
        ModalDriver cancel([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return false;
            filter = dialog->selectedNameFilter();
            selected = dialog->selectedFiles().value(0);
            dialog->reject();
            return true;
        });
        QVERIFY(!QtDialogs().run(w.get(), w->OD));
        QVERIFY(cancel.done());
        QCOMPARE(filter, QString("Theta Music Composer, mono (*.TMC)"));
        QCOMPARE(selected, dir->filePath("b.TMC"));
        QCOMPARE(w->OD.fileName, dir->filePath("b.TMC"));
        QCOMPARE(w->OD.filterIndex, 4);
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::newRow("notice") << int(orvex::ui::MessageKind::Notice) << int(QMessageBox::Warning);
        QTest::newRow("error") << int(orvex::ui::MessageKind::Error) << int(QMessageBox::Critical);
    }

    // A modal box with the text and one OK button.
    void messageBoxes()
    {
        QFETCH(int, kind);
        QFETCH(int, icon);
        QString text, title;
        int buttons = 0;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        bool modal = false;
        ModalDriver read([&](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (!box)
                return false;
            text = box->text();
            title = box->windowTitle();
            buttons = static_cast<int>(box->buttons().size());
            shownIcon = box->icon();
            modal = box->isModal();
            box->button(QMessageBox::Ok)->click();
            return true;
        });
        QtDialogs().message(w.get(), static_cast<orvex::ui::MessageKind>(kind), orvex::kAdrConflictText);
        QVERIFY(read.done());
        QCOMPARE(text, QString("ADR conflict detected! (SAP failure?)"));
        QCOMPARE(title, QString("Orvex"));
        QCOMPARE(buttons, 1);
        QCOMPARE(int(shownIcon), icon);
        QVERIFY(modal);
    }
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
