// The window as a user sees it at 96 dpi: where each control is, what it says, in which font,
// on which colour, and in which order the keyboard visits it.

#include "form1.h"
#include "serialcommport.h"

#include <QAccessible>
#include <QFontInfo>
#include <QLabel>
#include <QTest>

#include <memory>

using Quorin::Form1;

namespace {

// The geometry tables, in pixels at 15 twips to a pixel.
struct Expected
{
    const char *name;
    QRect rect;
    const char *caption;
    qreal points; // 0 for the lamp, which has no font
};

const Expected StandardControls[] = {
    {"Label3", {32, 16, 185, 33}, "Porta seriale del PC", 13.5},
    {"Option1", {32, 80, 89, 17}, "COM 3", 13.5},
    {"Shape1", {136, 48, 49, 73}, "", 0},
    {"Label2", {288, 32, 89, 65}, "Valore sensore", 13.5},
    {"Text1", {384, 16, 249, 87}, "", 48},
    {"Label4", {648, 48, 97, 25}, "[0 - 100]", 13.5},
    {"Command1", {144, 136, 273, 65}, "Blocca la ricezione", 18},
    {"Command2", {448, 136, 153, 65}, "Ricevi i dati", 18},
    {"Command3", {632, 136, 97, 65}, "Esci", 18},
    {"Label5", {24, 232, 201, 65}, "Porta fissa in COM 3, sceglierla da Pannello di Controllo", 12},
};

const Expected DidacticControls[] = {
    {"Label1", {328, 8, 185, 33}, "Dati ricevuti", 13.5},
    {"Text9", {16, 48, 777, 83}, "", 48},
    {"Label3", {32, 168, 185, 33}, "Porta seriale del PC", 13.5},
    {"Option1", {32, 232, 89, 17}, "COM 3", 13.5},
    {"Shape1", {136, 200, 49, 73}, "", 0},
    {"Label2", {288, 184, 89, 65}, "Valore sensore", 13.5},
    {"Text1", {384, 168, 249, 87}, "", 48},
    {"Label4", {648, 200, 97, 25}, "[0 - 100]", 13.5},
    {"Command1", {144, 288, 273, 65}, "Blocca la ricezione", 18},
    {"Command2", {448, 288, 153, 65}, "Ricevi i dati", 18},
    {"Command3", {632, 288, 97, 65}, "Esci", 18},
    {"Label5", {24, 384, 201, 65}, "Porta fissa in COM 3, sceglierla da Pannello di Controllo", 12},
};

std::unique_ptr<Form1> makeForm(bool didactic)
{
    // The port is never opened here; the window only needs one to own.
    auto *port
        = new Quorin::SerialCommPort(nullptr, [](int) { return QStringLiteral("/dev/null/none"); });
    auto form = std::make_unique<Form1>(
        didactic ? Quorin::didacticLayout() : Quorin::standardLayout(), port);
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}

QColor pixelAt(QWidget *form, QPoint at)
{
    return form->grab(QRect(at, QSize(1, 1))).toImage().pixelColor(0, 0);
}

} // namespace

class TestForm1Layout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void layoutsLayOutTheWindow_data() { layoutRows(); }
    void layoutsLayOutTheWindow();
    void controlsSitWhereTheTableSays_data();
    void controlsSitWhereTheTableSays();
    void keyboardVisitsControlsInTabOrder_data() { layoutRows(); }
    void keyboardVisitsControlsInTabOrder();
    void lampShowsPortState_data() { layoutRows(); }
    void lampShowsPortState();
    void everyControlHasAnAccessibleName_data() { layoutRows(); }
    void everyControlHasAnAccessibleName();

private:
    static void layoutRows();
    // The shown window of a layout, made once for the checks that only look at it.
    Form1 *shownForm(bool didactic);

    std::unique_ptr<Form1> m_forms[2];
};

Form1 *TestForm1Layout::shownForm(bool didactic)
{
    std::unique_ptr<Form1> &form = m_forms[didactic ? 1 : 0];
    if (!form)
        form = makeForm(didactic);
    return form.get();
}

void TestForm1Layout::initTestCase()
{
    Form1 *const form = shownForm(false);
    QVERIFY(form);
    if (form->screen()->logicalDotsPerInch() != 96)
        QSKIP("the tables' pixels hold at 96 dpi");
}

void TestForm1Layout::layoutRows()
{
    QTest::addColumn<bool>("didactic");
    QTest::addColumn<QSize>("clientSize");
    QTest::addColumn<QColor>("background");
    QTest::newRow("standard") << false << QSize(830, 317) << QColor(255, 128, 0);
    QTest::newRow("didactic") << true << QSize(830, 488) << QColor(0, 192, 192);
}

void TestForm1Layout::layoutsLayOutTheWindow()
{
    QFETCH(bool, didactic);
    QFETCH(QSize, clientSize);
    QFETCH(QColor, background);
    Form1 *const form = shownForm(didactic);
    QVERIFY(form);

    QCOMPARE(form->windowTitle(), QStringLiteral("Lettura sensore"));
    QCOMPARE(form->size(), clientSize);
    QCOMPARE(form->minimumSize(), clientSize);
    QCOMPARE(form->maximumSize(), clientSize);
    QCOMPARE(pixelAt(form, QPoint(2, 2)), background);
    QCOMPARE(form->findChild<QWidget *>(QStringLiteral("Text9")) != nullptr, didactic);
    QCOMPARE(form->findChild<QWidget *>(QStringLiteral("Label1")) != nullptr, didactic);
}

void TestForm1Layout::controlsSitWhereTheTableSays_data()
{
    QTest::addColumn<bool>("didactic");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<qreal>("points");
    for (const Expected &control : StandardControls)
        QTest::addRow("standard %s", control.name)
            << false << QString::fromLatin1(control.name) << control.rect
            << QString::fromUtf8(control.caption) << control.points;
    for (const Expected &control : DidacticControls)
        QTest::addRow("didactic %s", control.name)
            << true << QString::fromLatin1(control.name) << control.rect
            << QString::fromUtf8(control.caption) << control.points;
}

void TestForm1Layout::controlsSitWhereTheTableSays()
{
    QFETCH(bool, didactic);
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, caption);
    QFETCH(qreal, points);
    Form1 *const form = shownForm(didactic);
    QVERIFY(form);
    auto *control = form->findChild<QWidget *>(name);
    QVERIFY(control);

    QCOMPARE(control->geometry(), rect);
    QVERIFY(control->isVisible());
    QCOMPARE(control->property("text").toString(), caption); // labels, buttons, boxes
    if (points == 0)
        return;
    QCOMPARE(control->font().pointSizeF(), points);
    QVERIFY(control->font().bold());
    // The Windows face, or the metric-compatible one installed in its place.
    const QString face = QFontInfo(control->font()).family();
    const QStringList faces = points == 48
        ? QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}
        : QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans")};
    QVERIFY2(faces.contains(face), qPrintable(face));

    // Labels and the option sit on the window's colour; boxes and buttons keep their own.
    const QColor window = form->palette().color(QPalette::Window);
    const QPoint corner = control->geometry().bottomRight() - QPoint(1, 1);
    if (qobject_cast<QLabel *>(control) || name == QLatin1String("Option1"))
        QCOMPARE(pixelAt(form, corner), window);
    else
        QVERIFY(pixelAt(form, corner) != window);
}

void TestForm1Layout::keyboardVisitsControlsInTabOrder()
{
    QFETCH(bool, didactic);
    const auto form = makeForm(didactic); // a fresh one, with the keyboard where it starts
    QVERIFY(form);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    const QStringList expected = didactic
        ? QStringList{QStringLiteral("Option1"),  QStringLiteral("Command3"),
                      QStringLiteral("Command2"), QStringLiteral("Command1"),
                      QStringLiteral("Text9"),    QStringLiteral("Text1")}
        : QStringList{QStringLiteral("Option1"), QStringLiteral("Command3"),
                      QStringLiteral("Command2"), QStringLiteral("Command1"),
                      QStringLiteral("Text1")};

    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTRY_VERIFY(QApplication::focusWidget());
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
    QCOMPARE(QApplication::focusWidget()->objectName(), expected.first()); // and round again
}

void TestForm1Layout::lampShowsPortState()
{
    QFETCH(bool, didactic);
    QFETCH(QColor, background);
    Form1 *const form = shownForm(didactic);
    QVERIFY(form);
    auto *lamp = form->lamp();
    const QPoint centre = lamp->geometry().center();
    // The box is taller than wide: the disc touches its sides, and above it the window shows.
    const QPoint aboveDisc = lamp->geometry().topLeft() + QPoint(lamp->width() / 2, 2);

    lamp->setState(Quorin::LampState::Lit);
    QCOMPARE(pixelAt(form, centre), QColor(0, 255, 0));
    QCOMPARE(pixelAt(form, aboveDisc), background);
    lamp->setState(Quorin::LampState::Unlit);
    QCOMPARE(pixelAt(form, centre), QColor(255, 0, 0));
    QCOMPARE(pixelAt(form, aboveDisc), background);
}

void TestForm1Layout::everyControlHasAnAccessibleName()
{
    QFETCH(bool, didactic);
    Form1 *const form = shownForm(didactic);
    QVERIFY(form);
    for (QWidget *control : form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY(accessible);
        QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(control->objectName()));
    }
    QAccessibleInterface *lamp = QAccessible::queryAccessibleInterface(form->lamp());
    form->lamp()->setState(Quorin::LampState::Unlit);
    QCOMPARE(lamp->text(QAccessible::Description), QStringLiteral("Porta chiusa"));
    form->lamp()->setState(Quorin::LampState::Lit);
    QCOMPARE(lamp->text(QAccessible::Description), QStringLiteral("Porta aperta"));
}

QTEST_MAIN(TestForm1Layout)
#include "tst_form1layout.moc"
