// The Qt dialog backend, driven offscreen: layout from dialog units, message
// routing, the byte limit, calls from workers, colour requests and keys.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/ui.h"
#include "platform/ui_qt_app.h"
#include "platform/ui_qt_file_dialog.h"

namespace {

using text::jp;
using ui::Kind;

constexpr int okButton = ui::idOk;
constexpr int plainButton = 104;
constexpr int nameEdit = 100;
constexpr int portEdit = 101;
constexpr int logCheck = 102;
constexpr int adapterCombo = 103;
constexpr int lamp = 110;
constexpr int statusLabel = 111;
constexpr int logEdit = 112;

constexpr ui::ControlLayout testControls[] = {
    {okButton, Kind::DefPushButton, ui::styleTabStop, "OK", 75, 30, 50, 14},
    {plainButton, Kind::PushButton, ui::styleTabStop, "押す(&P)", 130, 30, 50, 14},
    {nameEdit, Kind::Edit, ui::styleTabStop | ui::styleBorder | ui::styleAutoHScroll, "", 5, 10,
     175, 14},
    {portEdit, Kind::Edit,
     ui::styleTabStop | ui::styleBorder | ui::styleDigitsOnly | ui::styleAutoHScroll, "", 5, 50, 40,
     14},
    {logCheck, Kind::AutoCheckBox, ui::styleTabStop, "ロギング有効(E)", 10, 70, 63, 10},
    {adapterCombo, Kind::DropDownList, ui::styleTabStop | ui::styleVScroll, "", 5, 85, 150, 60},
    {lamp, Kind::Static, ui::styleSunkenEdge, "", 160, 50, 16, 15},
    {statusLabel, Kind::Static, ui::styleBorder | ui::styleAlignCenter | ui::styleCenterVertical,
     "停止中", 50, 50, 100, 25},
    {logEdit, Kind::Edit, ui::styleMultiline | ui::styleReadOnly, "", 5, 110, 145, 20},
};
constexpr ui::DialogLayout testLayout{
    900,
    "試験",
    187,
    140,
    "ＭＳ Ｐゴシック",
    9,
    ui::frameVisible | ui::frameCaption | ui::frameSysMenu | ui::frameModal,
    testControls};

constexpr ui::ControlLayout innerControls[] = {
    {okButton, Kind::DefPushButton, ui::styleTabStop, "OK", 75, 30, 50, 14},
};
constexpr ui::DialogLayout innerLayout{
    901,
    "内側",
    187,
    50,
    "ＭＳ Ｐゴシック",
    9,
    ui::frameVisible | ui::frameCaption | ui::frameSysMenu | ui::frameModal,
    innerControls};

// Ends a run whose script did not end it, and one that hangs.
constexpr int scriptReturned = 77;
constexpr int timedOut = 99;

QWidget* windowTitled(const char* captionUtf8) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() == QString::fromUtf8(captionUtf8) &&
            widget->findChild<QWidget*>(QString::number(okButton)) != nullptr) {
            return widget;
        }
    }
    return nullptr;
}

// Lets queued work run until done() or about five seconds have passed.
bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

struct Command {
    ui::Notification notification;
    int id;
    bool operator==(const Command&) const = default;
};

// A dialog whose modal run plays a script inside the window's loop and
// records what the backend routes to it.
class ScriptedDialog : public ui::Dialog {
public:
    explicit ScriptedDialog(std::function<void(ScriptedDialog&)> script,
                            const ui::DialogLayout& layout = testLayout,
                            ui::Dialog* owner = nullptr)
        : ui::Dialog(layout, owner), script_(std::move(script)) {
        red.createSolid(ui::rgb(255, 0, 0));
    }

    QWidget* window() const { return windowTitled(layout().caption); }
    QWidget* control(int id) const {
        QWidget* frame = window();
        return frame != nullptr ? frame->findChild<QWidget*>(QString::number(id)) : nullptr;
    }
    std::size_t count(const Command& command) const {
        return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), command));
    }

    bool OnInitDialog() override {
        QWidget* frame = window();
        QTimer::singleShot(0, frame, [this] {
            script_(*this);
            if (!endedByDialog) EndDialog(scriptReturned);
        });
        QTimer::singleShot(10000, frame, [this] { EndDialog(timedOut); });
        return true;
    }
    bool PreTranslateMessage(const ui::KeyMessage& message) override {
        keys.push_back(message);
        if (enterIsPlain && message.key == ui::Key::Enter) return false;
        return ui::Dialog::PreTranslateMessage(message);
    }
    const ui::Brush* OnCtlColor(ui::CtlColorRequest& request) override {
        requests.push_back(request);
        if (request.controlId == statusLabel && request.kind == ui::CtlKind::Static) {
            request.textColor = ui::rgb(255, 255, 255);
            request.textBackground = ui::rgb(255, 0, 0);
            return &red;
        }
        const auto found = brushes.find(request.controlId);
        return found != brushes.end() && request.kind == ui::CtlKind::Static ? &found->second
                                                                             : nullptr;
    }
    bool OnCommand(ui::Notification notification, int controlId) override {
        commands.push_back({notification, controlId});
        if (!IsWindowThread()) commandOffWindowThread = true;
        return ui::Dialog::OnCommand(notification, controlId);
    }
    void OnOK() override {
        endedByDialog = true;
        ui::Dialog::OnOK();
    }
    void OnCancel() override {
        if (refuseCancel) return;
        endedByDialog = true;
        ui::Dialog::OnCancel();
    }

    bool enterIsPlain = false;
    bool refuseCancel = false;
    bool endedByDialog = false;
    std::atomic<bool> commandOffWindowThread{false};
    std::vector<ui::KeyMessage> keys;
    std::vector<ui::CtlColorRequest> requests;
    std::vector<Command> commands;
    std::map<int, ui::Brush> brushes;
    ui::Brush red;

private:
    std::function<void(ScriptedDialog&)> script_;
};

void sendKey(QWidget* target, Qt::Key key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// Typing as the keyboard does it: one key press per character, through the
// whole event path.
void type(QWidget* target, const QString& characters) {
    for (const QChar character : characters) sendKey(target, Qt::Key_unknown, character);
}

void commitFromInputMethod(QWidget* target, const QString& characters) {
    QInputMethodEvent event;
    event.setCommitString(characters);
    QApplication::sendEvent(target, &event);
}

class QtBackendTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::setApplicationName("TestApp"); }
};

TEST_F(QtBackendTest, PlacesTheWindowAndControlsByDialogUnitsOfTheMappedFont) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        QWidget* frame = d.window();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(QFontInfo(frame->font()).family(), "IPAPGothic");

        const QFont mapped("IPAPGothic", 9);
        const QFontMetrics metrics(mapped);
        const int letters =
            metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const auto baseX = static_cast<double>(std::lround(letters / 52.0));
        const double baseY = metrics.height();
        const auto px = [&](int du) { return static_cast<int>(std::lround(du * baseX / 4)); };
        const auto py = [&](int du) { return static_cast<int>(std::lround(du * baseY / 8)); };

        EXPECT_EQ(frame->size(), QSize(px(187), py(140)));
        const ui::Size client = d.GetClientSize();
        EXPECT_EQ(client.cx, px(187));
        EXPECT_EQ(client.cy, py(140));
        EXPECT_EQ(d.control(nameEdit)->geometry(), QRect(px(5), py(10), px(175), py(14)));
        EXPECT_EQ(d.control(lamp)->geometry(), QRect(px(160), py(50), px(16), py(15)));
        EXPECT_EQ(d.control(okButton)->geometry(), QRect(px(75), py(30), px(50), py(14)));
        // A drop-down list's template height is its open list; closed, it is one line high.
        QWidget* combo = d.control(adapterCombo);
        EXPECT_EQ(combo->geometry(), QRect(px(5), py(85), px(150), combo->sizeHint().height()));
        EXPECT_LT(combo->height(), py(60));

        // The first tab stop of the template has the focus, and Tab follows the template.
        EXPECT_EQ(frame->focusWidget(), d.control(okButton));
        EXPECT_EQ(d.control(okButton)->nextInFocusChain(), d.control(plainButton));
        EXPECT_EQ(d.control(lamp)->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(d.Title(), jp("試験"));
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
}

TEST_F(QtBackendTest, RoutesClicksEditChangesAndUserPicks) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        QTest::mouseClick(d.control(plainButton), Qt::LeftButton);
        EXPECT_EQ(d.count({ui::Notification::Clicked, plainButton}), 1u);

        QTest::mouseClick(d.control(logCheck), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_EQ(d.count({ui::Notification::Clicked, logCheck}), 1u);
        EXPECT_TRUE(d.item(logCheck).isChecked());
        d.item(logCheck).setChecked(false);
        EXPECT_EQ(d.count({ui::Notification::Clicked, logCheck}), 1u);

        // The program's own writes notify too, once each, also with the same text.
        d.item(nameEdit).setText(jp("あいう"));
        EXPECT_EQ(d.count({ui::Notification::Changed, nameEdit}), 1u);
        d.item(nameEdit).setText(jp("あいう"));
        EXPECT_EQ(d.count({ui::Notification::Changed, nameEdit}), 2u);
        EXPECT_EQ(d.item(nameEdit).text(), jp("あいう"));
        d.control(nameEdit)->setFocus();
        type(d.control(nameEdit), "x");
        EXPECT_EQ(d.count({ui::Notification::Changed, nameEdit}), 3u);
        EXPECT_EQ(d.item(nameEdit).text(), jp("あいうx"));

        d.item(logEdit).setText("C:\\a.csv\r\nnext");
        EXPECT_EQ(d.item(logEdit).text(), "C:\\a.csv\r\nnext");

        for (const char* entry : {"eth0", "eth1", "lo"}) d.item(adapterCombo).addString(entry);
        d.item(adapterCombo).setCurSel(0);
        EXPECT_EQ(d.count({ui::Notification::SelChange, adapterCombo}), 0u);
        d.control(adapterCombo)->setFocus();
        sendKey(d.control(adapterCombo), Qt::Key_Down);
        EXPECT_EQ(d.count({ui::Notification::SelChange, adapterCombo}), 1u);
        EXPECT_EQ(d.item(adapterCombo).curSel(), 1);
        EXPECT_EQ(d.item(adapterCombo).text(), "eth1");
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
}

TEST_F(QtBackendTest, TypingStopsAtTheByteLimitBetweenCharacters) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        QWidget* edit = d.control(nameEdit);
        edit->setFocus();
        d.item(nameEdit).limitText(6);
        type(edit, "abc");
        // Two double-byte characters into three free bytes: the second is cut whole.
        commitFromInputMethod(edit, QString::fromUtf8("あい"));
        EXPECT_EQ(d.item(nameEdit).text(), jp("abcあ"));
        type(edit, "d");
        const std::size_t changes = d.count({ui::Notification::Changed, nameEdit});
        type(edit, "e");
        type(edit, QString::fromUtf8("う"));
        EXPECT_EQ(d.item(nameEdit).text(), jp("abcあd"));
        EXPECT_EQ(d.count({ui::Notification::Changed, nameEdit}), changes);

        // A double-byte character does not go into the last free byte.
        d.item(nameEdit).setText("abcd");
        type(edit, "e");
        type(edit, QString::fromUtf8("え"));
        EXPECT_EQ(d.item(nameEdit).text(), "abcde");

        // The program's text is not limited; the user can still shorten it.
        d.item(nameEdit).setText(jp("あいうえおか"));
        EXPECT_EQ(d.item(nameEdit).text(), jp("あいうえおか"));
        sendKey(edit, Qt::Key_End);
        sendKey(edit, Qt::Key_Backspace);
        EXPECT_EQ(d.item(nameEdit).text(), jp("あいうえお"));

        QWidget* port = d.control(portEdit);
        port->setFocus();
        type(port, "1a2");
        EXPECT_EQ(d.item(portEdit).text(), "12");
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
}

TEST_F(QtBackendTest, CarriesAWorkerCallToTheWindowThreadAndWaitsForIt) {
    std::atomic<bool> ranOnWindowThread{false};
    std::atomic<bool> callReturned{false};
    std::atomic<bool> workerOnWindowThread{true};
    std::atomic<bool> done{false};
    ScriptedDialog dialog([&](ScriptedDialog& d) {
        ASSERT_TRUE(d.StartWorker([&] {
            workerOnWindowThread = d.IsWindowThread();
            callReturned = d.CallOnWindowThread([&] { ranOnWindowThread = d.IsWindowThread(); });
            d.item(nameEdit).setText("from worker");
            done = true;
        }));
        ASSERT_TRUE(spinUntil([&] { return done.load(); }));
        EXPECT_FALSE(workerOnWindowThread);
        EXPECT_TRUE(callReturned);
        EXPECT_TRUE(ranOnWindowThread);
        EXPECT_EQ(d.item(nameEdit).text(), "from worker");
        EXPECT_EQ(d.count({ui::Notification::Changed, nameEdit}), 1u);
        EXPECT_FALSE(d.commandOffWindowThread);
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
}

TEST_F(QtBackendTest, ReleasesWorkerCallsWhenTheWindowCloses) {
    std::atomic<bool> refused{false};
    std::atomic<int> calls{0};
    ScriptedDialog dialog([&](ScriptedDialog& d) {
        ASSERT_TRUE(d.StartWorker([&] {
            // Keeps calling until the closing window turns calls away.
            for (int i = 0; i < 100000 && !refused; ++i) {
                if (d.CallOnWindowThread([&] { ++calls; })) continue;
                refused = true;
            }
        }));
        ASSERT_TRUE(spinUntil([&] { return calls.load() > 10; }));
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
    EXPECT_TRUE(refused);
}

TEST_F(QtBackendTest, PaintsStaticsWithTheColoursTheDialogDecides) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        QWidget* lampWidget = d.control(lamp);
        const QPoint centre = lampWidget->rect().center();
        d.brushes[lamp].createSolid(ui::rgb(255, 0, 0));
        EXPECT_EQ(lampWidget->grab().toImage().pixelColor(centre), QColor(255, 0, 0));
        EXPECT_TRUE(std::any_of(d.requests.begin(), d.requests.end(), [](const auto& r) {
            return r.controlId == lamp && r.kind == ui::CtlKind::Static;
        }));

        d.brushes[lamp].createSolid(ui::rgb(0, 0, 255));
        d.item(lamp).invalidate();
        EXPECT_EQ(lampWidget->grab().toImage().pixelColor(centre), QColor(0, 0, 255));
        // The sunken edge is not part of the face.
        EXPECT_NE(lampWidget->grab().toImage().pixelColor(0, 0), QColor(0, 0, 255));

        d.brushes.erase(lamp);
        EXPECT_NE(lampWidget->grab().toImage().pixelColor(centre), QColor(0, 0, 255));

        // White text on the face the handler chose (its edges blend into the red).
        const QImage status = d.control(statusLabel)->grab().toImage();
        EXPECT_EQ(status.pixelColor(2, 2), QColor(255, 0, 0));
        bool whiteText = false;
        for (int y = 0; y < status.height(); ++y) {
            for (int x = 0; x < status.width(); ++x) {
                const QColor pixel = status.pixelColor(x, y);
                whiteText = whiteText || (pixel.green() > 200 && pixel.blue() > 200);
            }
        }
        EXPECT_TRUE(whiteText);

        // A read-only edit is asked about as a static, a writable one as an edit.
        d.requests.clear();
        d.control(logEdit)->grab();
        d.control(nameEdit)->grab();
        EXPECT_TRUE(std::any_of(d.requests.begin(), d.requests.end(), [](const auto& r) {
            return r.controlId == logEdit && r.kind == ui::CtlKind::Static;
        }));
        EXPECT_TRUE(std::any_of(d.requests.begin(), d.requests.end(), [](const auto& r) {
            return r.controlId == nameEdit && r.kind == ui::CtlKind::Edit;
        }));
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
}

TEST_F(QtBackendTest, EnterLeftByThePreTranslationNeitherPressesNorEnds) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        d.enterIsPlain = true;
        QWidget* frame = d.window();
        for (const int id : {okButton, plainButton, nameEdit}) {
            d.control(id)->setFocus();
            sendKey(frame->focusWidget(), Qt::Key_Return);
        }
        QCoreApplication::processEvents();
        EXPECT_TRUE(d.commands.empty());
        EXPECT_FALSE(d.endedByDialog);
        ASSERT_EQ(d.keys.size(), 3u);  // each press offered once, releases are not keys
        EXPECT_EQ(d.keys[0].key, ui::Key::Enter);
        EXPECT_EQ(d.keys[0].keyCode, 13);
        // Escape goes through the default pre-translation: the dialog cancels.
        sendKey(frame->focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), ui::idCancel);
}

TEST_F(QtBackendTest, EnterPressesTheFocusedPushButtonElseTheDefaultOne) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        d.control(plainButton)->setFocus();
        sendKey(d.window()->focusWidget(), Qt::Key_Return);
        EXPECT_EQ(d.commands, (std::vector<Command>{{ui::Notification::Clicked, plainButton}}));
        EXPECT_FALSE(d.endedByDialog);
        d.control(nameEdit)->setFocus();
        sendKey(d.window()->focusWidget(), Qt::Key_Enter);
    });
    EXPECT_EQ(dialog.DoModal(), ui::idOk);
    EXPECT_EQ(dialog.count({ui::Notification::Clicked, okButton}), 1u);
}

TEST_F(QtBackendTest, TheDropDownListOpensBelowItsFieldAsHighAsItsTemplateAndTakesTheKeys) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        auto* combo = static_cast<QComboBox*>(d.control(adapterCombo));
        for (int i = 0; i < 30; ++i) d.item(adapterCombo).addString("entry " + std::to_string(i));
        d.item(adapterCombo).setCurSel(0);
        const ui::qt::DialogUnits units(d.window()->font());
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            combo->showPopup();
            QWidget* popup = combo->view()->window();
            ASSERT_TRUE(spinUntil([&] { return popup->isVisible(); }));
            const QRect field(combo->mapToGlobal(QPoint()), combo->size());
            EXPECT_GE(popup->geometry().top(), field.bottom()) << "opens below the field";
            EXPECT_LE(popup->height() + field.height(), units.toPixelsY(60));
            EXPECT_GT(combo->view()->verticalScrollBar()->maximum(), 0) << "scrolls";
            if (key == Qt::Key_Return) {
                combo->view()->setCurrentIndex(combo->model()->index(3, 0));
            }
            sendKey(combo->view(), key);
            EXPECT_TRUE(spinUntil([&] { return !popup->isVisible(); }));
            EXPECT_FALSE(d.endedByDialog);
        }
        EXPECT_EQ(d.item(adapterCombo).curSel(), 3);
        EXPECT_EQ(d.count({ui::Notification::SelChange, adapterCombo}), 1u);
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
}

TEST_F(QtBackendTest, TheCloseBoxAsksTheDialog) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        d.refuseCancel = true;
        d.window()->close();
        QCoreApplication::processEvents();
        EXPECT_TRUE(d.window()->isVisible());
        d.refuseCancel = false;
        d.window()->close();
    });
    EXPECT_EQ(dialog.DoModal(), ui::idCancel);
}

TEST_F(QtBackendTest, NestedDialogIsModalOverTheRunningWindow) {
    ScriptedDialog outer([](ScriptedDialog& o) {
        ScriptedDialog inner(
            [&o](ScriptedDialog& i) {
                EXPECT_EQ(i.window()->parentWidget(), o.window());
                EXPECT_EQ(i.window()->windowModality(), Qt::ApplicationModal);
                EXPECT_TRUE(i.window()->isVisible());
                // Its template does not place it: centred over its owner.
                const QPoint offset =
                    i.window()->geometry().center() - o.window()->geometry().center();
                EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
                sendKey(i.window()->focusWidget(), Qt::Key_Return);
            },
            innerLayout);
        EXPECT_EQ(inner.DoModal(), ui::idOk);
        EXPECT_EQ(windowTitled(innerLayout.caption), nullptr);
        EXPECT_TRUE(o.window()->isVisible());
    });
    EXPECT_EQ(outer.DoModal(), scriptReturned);
}

TEST_F(QtBackendTest, MessageBoxHasTheProgramsCaptionAndOnlyOk) {
    ScriptedDialog dialog([](ScriptedDialog& d) {
        bool seen = false;
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = true;
            EXPECT_EQ(box->windowTitle(), "TestApp");
            EXPECT_EQ(box->text(), QString::fromUtf8("<b>見つかりません</b>"));
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
            box->accept();
        });
        d.ShowMessage(jp("<b>見つかりません</b>"));
        EXPECT_TRUE(seen);
    });
    EXPECT_EQ(dialog.DoModal(), scriptReturned);
}

// A folder of the test's own that holds the dialog's initial file, so that
// the dialog's settling can be seen: its list shows that file and its name
// field, focused, offers it.
class DialogFolder {
public:
    DialogFolder() {
        path_ =
            QDir::tempPath() + "/ui_qt_test_" + QString::number(QCoreApplication::applicationPid());
        QDir(path_).removeRecursively();
        QDir().mkpath(path_);
        QFile initial(path_ + "/start.csv");
        EXPECT_TRUE(initial.open(QIODevice::WriteOnly));
    }
    ~DialogFolder() { QDir(path_).removeRecursively(); }
    DialogFolder(const DialogFolder&) = delete;
    DialogFolder& operator=(const DialogFolder&) = delete;
    const QString& path() const { return path_; }

private:
    QString path_;
};

// The dialog has read its folder and applied its initial selection: what a
// user waits for before typing, as keys and names given earlier are
// overwritten by the dialog's own selection or ignored once its name field
// has the focus.
bool fileDialogSettled(QFileDialog& dialog, const QString& folder) {
    auto* nameField = dialog.findChild<QLineEdit*>("fileNameEdit");
    auto* files = dialog.findChild<QFileSystemModel*>();
    if (!dialog.isVisible() || nameField == nullptr || files == nullptr) return false;
    const QModelIndex initial = files->index(folder + "/start.csv");
    return QApplication::focusWidget() == nameField && nameField->text() == "start.csv" &&
           initial.isValid() && files->rowCount(files->index(folder)) > 0;
}

// The file dialog answered as a user answers it: once it has settled, a name
// typed into its name field and the dialog accepted when it names that file,
// or the dialog cancelled. A dialog that never settles is cancelled at the
// deadline and fails the test.
ui::FileChoice answeredFileDialog(const QString& folder, const QString& name, bool accept = true) {
    ui::qt::application();
    auto* answer = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(answer, &QTimer::timeout, [answer, waited, folder, name, accept] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (dialog == nullptr || !dialog->isVisible()) continue;
            const bool late = waited->elapsed() > 20'000;
            if (!fileDialogSettled(*dialog, folder) && !late) return;
            bool answered = !accept || late;
            if (!answered) {
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
                answered = dialog->selectedFiles().value(0) == folder + "/" + name;
            }
            if (!answered) return;
            answer->stop();
            answer->deleteLater();
            delete waited;
            EXPECT_FALSE(late) << "the file dialog never settled or never took the name";
            // accept() is the dialog's own, as its button calls it.
            QMetaObject::invokeMethod(dialog, accept && !late ? "accept" : "reject");
            return;
        }
    });
    answer->start(10);
    ui::FileDialogRequest request;
    request.initialPath = text::utf8ToCp932((folder + "/start.csv").toStdString());
    request.filter = "CSV file (*.csv)|*.csv|all files(*.*)|*.*||";
    return ui::qt::runFileDialog(nullptr, request);
}

TEST(QtFileDialog, APathThatShiftJisCannotHoldIsRefusedNotChanged) {
    const DialogFolder folder;
    using Outcome = ui::FileChoice::Outcome;
    EXPECT_EQ(answeredFileDialog(folder.path(), QString::fromUtf8("log_\u00e9.csv")),
              (ui::FileChoice{Outcome::NotCp932, ""}));
    EXPECT_EQ(answeredFileDialog(folder.path(), QString::fromUtf8("\u30ed\u30b0.csv")),
              (ui::FileChoice{Outcome::Chosen, text::utf8ToCp932(folder.path().toStdString()) +
                                                   "/\x83\x8D\x83\x4F.csv"}));
    EXPECT_EQ(answeredFileDialog(folder.path(), "a.csv", false).outcome, Outcome::Cancelled);
}

constexpr int surface = 120;
constexpr int scrollBar = 121;
constexpr ui::ControlLayout sideControls[] = {
    {surface, Kind::Surface, ui::styleTabStop, "", 5, 5, 100, 40},
    {scrollBar, Kind::HScrollBar, ui::styleNone, "", 5, 50, 100, 10},
};
constexpr ui::DialogLayout sideLayout{902,
                                      "脇",
                                      110,
                                      65,
                                      "ＭＳ Ｐゴシック",
                                      9,
                                      ui::frameCaption | ui::frameSysMenu | ui::frameResizable,
                                      sideControls};

// A modeless window with a surface painted red, that records what reaches it.
class SideWindow : public ui::Dialog {
public:
    explicit SideWindow(ui::Dialog& owner) : ui::Dialog(sideLayout, &owner) {}
    QWidget* window() const {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->windowTitle() == QString::fromUtf8("脇") && widget->isVisible()) {
                return widget;
            }
        }
        return nullptr;
    }
    QWidget* control(int id) const { return window()->findChild<QWidget*>(QString::number(id)); }

    void OnSurfacePaint(int, ui::Painter& painter) override {
        const ui::Size size = painter.size();
        painter.fillRect({0, 0, size.cx, size.cy}, ui::rgb(255, 0, 0));
        painter.line(0, 0, size.cx - 1, 0, ui::rgb(0, 0, 255));
        textSize = painter.textExtent("00:00");
    }
    void OnSurfaceMouse(int, const ui::MouseEvent& event) override { mice.push_back(event); }
    bool PreTranslateMessage(const ui::KeyMessage& message) override {
        keys.push_back(message);
        return ui::Dialog::PreTranslateMessage(message);
    }
    bool OnCommand(ui::Notification notification, int id) override {
        commands.push_back({notification, id});
        return ui::Dialog::OnCommand(notification, id);
    }
    void OnTimer(int id) override { ++ticks[id]; }
    void OnSize(ui::Size client) override { sizes.push_back(client); }

    std::vector<ui::MouseEvent> mice;
    std::vector<ui::KeyMessage> keys;
    std::vector<Command> commands;
    std::map<int, int> ticks;
    std::vector<ui::Size> sizes;
    ui::Size textSize;
};

TEST_F(QtBackendTest, AModelessWindowDrawsItsSurfaceAndHearsMouseKeysScrollBarTimerAndSize) {
    ScriptedDialog owner([](ScriptedDialog& o) {
        SideWindow side(o);
        ASSERT_TRUE(side.Create());
        ASSERT_TRUE(spinUntil([&] { return side.window() != nullptr; }));
        QWidget* frame = side.window();
        EXPECT_TRUE(side.IsWindowOpen());
        EXPECT_EQ(frame->windowModality(), Qt::NonModal);
        EXPECT_TRUE(o.window()->isEnabled());
        // Beside its owner, not over it.
        EXPECT_EQ(frame->frameGeometry().left(), o.window()->frameGeometry().right() + 1);
        EXPECT_EQ(frame->frameGeometry().top(), o.window()->frameGeometry().top());

        // What a person sees: the surface in the colours its dialog drew.
        QWidget* face = side.control(surface);
        ASSERT_TRUE(
            spinUntil([&] { return face->grab().toImage().pixel(5, 5) == qRgb(255, 0, 0); }));
        EXPECT_EQ(face->grab().toImage().pixel(5, 0), qRgb(0, 0, 255));
        EXPECT_GT(side.textSize.cx, 0);
        const ui::Image picture = side.item(surface).capture();
        ASSERT_EQ(picture.width, face->width());
        ASSERT_EQ(picture.height, face->height());
        EXPECT_EQ(picture.pixels[static_cast<std::size_t>(5 * picture.width + 5)],
                  ui::rgb(255, 0, 0));
        ASSERT_TRUE(side.CopyImageToClipboard(picture));
        EXPECT_EQ(QApplication::clipboard()->image().size(), face->size());

        QTest::mouseMove(face, QPoint(10, 12));
        QTest::mousePress(face, Qt::LeftButton, Qt::NoModifier, QPoint(11, 12));
        QTest::mouseRelease(face, Qt::LeftButton, Qt::NoModifier, QPoint(11, 12));
        QWheelEvent wheel(QPointF(20, 15), face->mapToGlobal(QPointF(20, 15)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(face, &wheel);
        ASSERT_GE(side.mice.size(), 4u);
        const auto kinds = [&] {
            std::vector<ui::MouseEvent::Kind> result;
            for (const auto& m : side.mice) result.push_back(m.kind);
            return result;
        }();
        using K = ui::MouseEvent::Kind;
        EXPECT_NE(std::find(kinds.begin(), kinds.end(), K::Move), kinds.end());
        const auto press = std::find(kinds.begin(), kinds.end(), K::Press) - kinds.begin();
        EXPECT_EQ(side.mice[static_cast<std::size_t>(press)].x, 11);
        EXPECT_TRUE(side.mice[static_cast<std::size_t>(press)].leftButton);
        EXPECT_EQ(side.mice.back().kind, K::Wheel);
        EXPECT_EQ(side.mice.back().wheelDelta, 120);
        EXPECT_TRUE(side.mice.back().control);
        EXPECT_EQ(side.mice.back().x, 20);

        // A click gives the surface the focus; its keys pass the dialog first.
        EXPECT_EQ(side.FocusedControl(), surface);
        sendKey(face, Qt::Key_Plus, "+");
        QKeyEvent keypadMinus(QEvent::KeyPress, Qt::Key_Minus, Qt::KeypadModifier, "-");
        QApplication::sendEvent(face, &keypadMinus);
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
        QApplication::sendEvent(face, &copy);
        ASSERT_EQ(side.keys.size(), 3u);
        EXPECT_EQ(side.keys[0].keyCode, ui::vk::oemPlus);
        EXPECT_EQ(side.keys[1].keyCode, ui::vk::subtract);
        EXPECT_EQ(side.keys[2].keyCode, 'C');
        EXPECT_TRUE(side.keys[2].control);

        // The program's own moves of the bar are not reported; the user's are.
        side.item(scrollBar).setScroll(100, 10, 5);
        auto* bar = qobject_cast<QScrollBar*>(side.control(scrollBar));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->maximum(), 90);
        EXPECT_EQ(bar->pageStep(), 10);
        EXPECT_TRUE(side.commands.empty());
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(side.commands, (std::vector<Command>{{ui::Notification::Scroll, scrollBar}}));
        EXPECT_EQ(side.item(scrollBar).scrollPos(), 6);

        side.SetTimer(7, 10);
        EXPECT_TRUE(spinUntil([&] { return side.ticks[7] >= 2; }));
        side.KillTimer(7);
        const int ticks = side.ticks[7];
        QTest::qWait(50);
        EXPECT_EQ(side.ticks[7], ticks);

        // Resizable, not below its template's size.
        const QSize first = frame->size();
        EXPECT_EQ(frame->minimumSize(), first);
        frame->resize(first + QSize(40, 30));
        EXPECT_TRUE(spinUntil([&] {
            return !side.sizes.empty() &&
                   side.sizes.back() == ui::Size{first.width() + 40, first.height() + 30};
        }));
        side.item(surface).moveTo({1, 2, 30, 20});
        EXPECT_EQ(side.item(surface).place(), (ui::Rect{1, 2, 30, 20}));

        // Its close box ends it; it can open again.
        frame->close();
        EXPECT_FALSE(side.IsWindowOpen());
        EXPECT_TRUE(spinUntil([&] { return side.window() == nullptr; }));
        EXPECT_TRUE(o.window()->isVisible());
        ASSERT_TRUE(side.Create());
        EXPECT_TRUE(spinUntil([&] { return side.window() != nullptr; }));
        side.DestroyWindow();
    });
    EXPECT_EQ(owner.DoModal(), scriptReturned);
}

TEST(QtFileDialog, TurnsThePlatformsFilterIntoNameFilters) {
    const QStringList filters =
        ui::qt::nameFiltersFrom("kvx file (*.kvx)|*.kvx|all files(*.*)|*.*||");
    EXPECT_EQ(filters, QStringList({"kvx file (*.kvx) (*.kvx)", "all files(*.*) (*)"}));
    EXPECT_EQ(ui::qt::nameFiltersFrom("logs|*.csv;*.txt||"), QStringList({"logs (*.csv *.txt)"}));
}

}  // namespace
