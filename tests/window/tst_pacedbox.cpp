// What assistive technologies hear of the two boxes that the program writes on every pass: the
// program's writes at a human pace, the user's typing, caret and selection at once, and the box's
// spoken text throughout. Qt's own test handler stands in for the platform: it receives what would
// reach a screen reader.

#include "echobox.h"
#include "valuebox.h"

#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <QtTest/qtestaccessible.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Forgets the events received so far; Qt's test handler keeps copies it never deletes.
void forgetEvents()
{
    qDeleteAll(QTestAccessibility::events());
    QTestAccessibility::clearEvents();
}

// The text events of `box` received since the last call, as "Updated 'old' 'new'", "Inserted
// 'text'", "Removed 'text'", "Caret" or "Selection".
QStringList heardOf(const QObject *box)
{
    QStringList heard;
    for (const QAccessibleEvent *event : QTestAccessibility::events()) {
        if (event->object() != box)
            continue;
        switch (event->type()) {
        case QAccessible::TextUpdated: {
            const auto *update = static_cast<const QAccessibleTextUpdateEvent *>(event);
            heard += u"Updated '%1' '%2'"_s.arg(update->textRemoved(), update->textInserted());
            break;
        }
        case QAccessible::TextInserted:
            heard += u"Inserted '%1'"_s.arg(
                static_cast<const QAccessibleTextInsertEvent *>(event)->textInserted());
            break;
        case QAccessible::TextRemoved:
            heard += u"Removed '%1'"_s.arg(
                static_cast<const QAccessibleTextRemoveEvent *>(event)->textRemoved());
            break;
        case QAccessible::TextCaretMoved:
            heard += u"Caret"_s;
            break;
        case QAccessible::TextSelectionChanged:
            heard += u"Selection"_s;
            break;
        default:
            break;
        }
    }
    forgetEvents();
    return heard;
}

std::unique_ptr<Quorin::PacedBox> shownBox(bool echo)
{
    std::unique_ptr<Quorin::PacedBox> box;
    if (echo)
        box = std::make_unique<Quorin::EchoBox>();
    else
        box = std::make_unique<Quorin::ValueBox>();
    box->show();
    box->setFocus();
    return QTest::qWaitForWindowActive(box.get()) ? std::move(box) : nullptr;
}

void writeAsProgram(Quorin::PacedBox *box, const QString &text)
{
    if (auto *echo = qobject_cast<Quorin::EchoBox *>(box))
        echo->prepend(text);
    else
        static_cast<Quorin::ValueBox *>(box)->showValue(text);
}

} // namespace

class TestPacedBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Before the first box, so that the boxes' handler passes events on to this one; and an
        // assistive technology listening, as Qt's own accessibility tests make one.
        QTestAccessibility::initialize();
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
    }
    void cleanup() { forgetEvents(); }

    // Written on every pass, a box is heard of once at the end of the interval, with the text it
    // then shows, whatever came between; a later write is heard of too, however soon it comes.
    void programWritesAreToldOnceWithTheLastText_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QString>("firstTold");
        QTest::addColumn<QString>("write");
        QTest::addColumn<QString>("thenTold");
        // The value as Italian writes it.
        QTest::newRow("value box")
            << false << QStringList{u"1.0"_s, u"2.5"_s, u"49.8"_s} << u"Updated '' '49,8'"_s
            << u"50.2"_s << u"Updated '49,8' '50,2'"_s;
        // The codes of the newest 8 bytes: 255 is ÿ, 128 €, 65 A.
        QTest::newRow("echo box") << true << QStringList{u"ÿ€"_s, u"ÿ€ÿ€"_s, u"ÿ€ÿ"_s}
                                  << u"Updated '' '255 128 255 255 128 255 128 255'"_s << u"A"_s
                                  << u"Updated '255 128 255 255 128 255 128 255' "
                                     "'65 255 128 255 255 128 255 128'"_s;
    }

    void programWritesAreToldOnceWithTheLastText()
    {
        QFETCH(bool, echo);
        QFETCH(QStringList, writes);
        QFETCH(QString, firstTold);
        QFETCH(QString, write);
        QFETCH(QString, thenTold);
        const auto box = shownBox(echo);
        QVERIFY(box);
        heardOf(box.get());

        for (const QString &text : writes)
            writeAsProgram(box.get(), text);
        QCOMPARE(heardOf(box.get()), QStringList()); // nothing yet: the interval has only begun
        QStringList heard;
        QTRY_VERIFY((heard += heardOf(box.get()), !heard.isEmpty()));
        QCOMPARE(heard, QStringList{firstTold});

        writeAsProgram(box.get(), write);
        heard.clear();
        QTRY_VERIFY((heard += heardOf(box.get()), !heard.isEmpty()));
        QCOMPARE(heard, QStringList{thenTold});
    }

    // What the user types, selects and moves over reaches assistive technologies at once, as in
    // any text box, and the box reads as its spoken text, the caret and selection within it.
    void usersEditsAreHeardAtOnce_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("spoken");
        QTest::addColumn<int>("caret");     // in the spoken text, after the typed character
        QTest::addColumn<QString>("write"); // by the program, after the user
        QTest::addColumn<QString>("told");
        // Typed at the end, after the value's shown decimal point.
        QTest::newRow("value box")
            << false << u"49.87"_s << u"49,87"_s << 5 << u"50.2"_s << u"Updated '49,87' '50,2'"_s;
        // Typed in front, where the caret stands after every read.
        QTest::newRow("echo box") << true << u"Aÿ€"_s << u"65 255 128"_s << 3 << u"ÿ"_s
                                  << u"Updated '65 255 128' '255 65 255 128'"_s;
    }

    void usersEditsAreHeardAtOnce()
    {
        QFETCH(bool, echo);
        QFETCH(QString, shown);
        QFETCH(QString, spoken);
        QFETCH(int, caret);
        QFETCH(QString, write);
        QFETCH(QString, told);
        const auto box = shownBox(echo);
        QVERIFY(box);
        writeAsProgram(box.get(), echo ? u"ÿ€"_s : u"49.8"_s);
        QStringList heard;
        QTRY_VERIFY((heard += heardOf(box.get()), !heard.isEmpty()));

        QTest::keyClicks(box.get(), echo ? u"A"_s : u"7"_s);
        QCOMPARE(box->text(), shown);
        QCOMPARE(heardOf(box.get()),
                 (QStringList{u"Inserted '%1'"_s.arg(echo ? u"A"_s : u"7"_s), u"Caret"_s}));
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(box.get());
        QAccessibleTextInterface *text = accessible->textInterface();
        QVERIFY(text);
        QVERIFY(accessible->state().editable && !accessible->state().readOnly);
        QCOMPARE(text->text(0, text->characterCount()), spoken);
        QCOMPARE(text->cursorPosition(), caret);

        QTest::keyClick(box.get(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(heardOf(box.get()).contains(u"Selection"_s)); // at once
        int start = -1;
        int end = -1;
        text->selection(0, &start, &end);
        QCOMPARE(std::pair(start, end), std::pair(0, int(spoken.size())));
        QCOMPARE(text->text(start, end), spoken);

        // The program's next write is told from what the user left, which is never told again.
        writeAsProgram(box.get(), write);
        heard.clear();
        QTRY_VERIFY((heard += heardOf(box.get()), !heard.isEmpty()));
        QCOMPARE(heard, QStringList{told});
    }
};

QTEST_MAIN(TestPacedBox)
#include "tst_pacedbox.moc"
