// The window as a user sees it at 96 dpi: where each control is, what it says, in which font
// and on which colour.

#include "form1.h"
#include "serialcommport.h"

#include <QAccessible>
#include <QTest>

#include <memory>

using Quorin::Form1;
using namespace Qt::StringLiterals;

namespace {

// The geometry tables, in pixels at 15 twips to a pixel.
struct Expected
{
    const char *name;
    QRect rect;
    const char *caption;
    qreal points; // 0 for the lamp, which has no font
};

const QList<Expected> StandardControls = {
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

// The didactic window is the standard one moved down under a row of its own for the echo box.
QList<Expected> didacticControls()
{
    QList<Expected> controls = {{"Label1", {328, 8, 185, 33}, "Dati ricevuti", 13.5},
                                {"Text9", {16, 48, 777, 83}, "", 48}};
    for (Expected control : StandardControls) {
        control.rect.translate(0, 152);
        controls.append(control);
    }
    return controls;
}

std::unique_ptr<Form1> shownForm(bool didactic)
{
    // The port is never opened here; the window only needs one to own.
    auto *port = new Quorin::SerialCommPort(nullptr, [](int) { return u"/dev/null/none"_s; });
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
    void initTestCase()
    {
        const auto form = shownForm(false);
        QVERIFY(form);
        if (form->screen()->logicalDotsPerInch() != 96)
            QSKIP("the tables' pixels hold at 96 dpi");
    }

    void layoutsLayOutTheWindow_data()
    {
        QTest::addColumn<bool>("didactic");
        QTest::addColumn<QSize>("clientSize");
        QTest::addColumn<QColor>("background");
        QTest::newRow("standard") << false << QSize(830, 317) << QColor(255, 128, 0);
        QTest::newRow("didactic") << true << QSize(830, 488) << QColor(0, 192, 192);
    }

    void layoutsLayOutTheWindow()
    {
        QFETCH(bool, didactic);
        QFETCH(QSize, clientSize);
        QFETCH(QColor, background);
        const auto form = shownForm(didactic);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), u"Lettura sensore"_s);
        QCOMPARE(form->size(), clientSize);
        QCOMPARE(form->minimumSize(), clientSize);
        QCOMPARE(form->maximumSize(), clientSize);
        QCOMPARE(pixelAt(form.get(), QPoint(2, 2)), background);

        const QList<Expected> table = didactic ? didacticControls() : StandardControls;
        QCOMPARE(form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), table.size());
        for (const Expected &expected : table) {
            auto *control = form->findChild<QWidget *>(QLatin1String(expected.name));
            QVERIFY2(control && control->isVisible(), expected.name);
            QCOMPARE(control->geometry(), expected.rect);
            QCOMPARE(control->property("text").toString(), QString::fromUtf8(expected.caption));
            if (expected.points != 0) {
                QCOMPARE(control->font().pointSizeF(), expected.points);
                QVERIFY(control->font().bold());
            }
        }

        // The lamp is a disc that touches the sides of its taller box: above it the window shows.
        Quorin::StatusLamp *lamp = form->lamp();
        const QPoint centre = lamp->geometry().center();
        const QPoint aboveDisc = lamp->geometry().topLeft() + QPoint(lamp->width() / 2, 2);
        QAccessibleInterface *accessibleLamp = QAccessible::queryAccessibleInterface(lamp);
        lamp->setState(Quorin::LampState::Lit);
        QCOMPARE(pixelAt(form.get(), centre), QColor(0, 255, 0));
        QCOMPARE(pixelAt(form.get(), aboveDisc), background);
        QCOMPARE(accessibleLamp->text(QAccessible::Description), u"Porta aperta"_s);
        lamp->setState(Quorin::LampState::Unlit);
        QCOMPARE(pixelAt(form.get(), centre), QColor(255, 0, 0));
        QCOMPARE(accessibleLamp->text(QAccessible::Description), u"Porta chiusa"_s);
    }
};

QTEST_MAIN(TestForm1Layout)
#include "tst_form1layout.moc"
