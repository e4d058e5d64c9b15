// The window as a user sees it at the screen's DPI, which CTest sets to 96 and to 144: where
// each control is, what it says, in which font and on which colour.

#include "form1.h"
#include "program.h"
#include "serialcommport.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <memory>

using Quorin::Form1;
using namespace Qt::StringLiterals;

namespace {

// Twips to pixels at the screen's logical DPI, 1440 twips to an inch.
QRect inPixels(const QRect &twips, qreal dpi)
{
    const auto px = [dpi](int t) { return qRound(t * dpi / 1440); };
    return {px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())};
}

std::unique_ptr<Form1> shownForm(const Quorin::FormLayout &layout)
{
    // The port is never opened here; the window only needs one to own.
    auto *port = new Quorin::SerialCommPort(nullptr, [](int) { return u"/dev/null/none"_s; });
    auto form = std::make_unique<Form1>(layout, port);
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
    void layoutsLayOutTheWindow_data()
    {
        QTest::addColumn<bool>("didactic");
        QTest::addColumn<QSize>("twips"); // the client area
        QTest::addColumn<QColor>("background");
        QTest::addColumn<int>("controls");
        QTest::newRow("standard") << false << QSize(12450, 4755) << QColor(255, 128, 0) << 10;
        QTest::newRow("didactic") << true << QSize(12450, 7320) << QColor(0, 192, 192) << 12;
    }

    void layoutsLayOutTheWindow()
    {
        QFETCH(bool, didactic);
        QFETCH(QSize, twips);
        QFETCH(QColor, background);
        QFETCH(int, controls);
        const auto form = shownForm(didactic ? Quorin::didacticLayout() : Quorin::standardLayout());
        QVERIFY(form);
        const qreal dpi = form->screen()->logicalDotsPerInch();
        QCOMPARE(form->size(), inPixels(QRect(QPoint(), twips), dpi).size());
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(pixelAt(form.get(), QPoint(2, 2)), background);
        QCOMPARE(form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), controls);

        // The lamp is a disc that touches the sides of its taller box: above it the window shows.
        Quorin::StatusLamp *lamp = form->lamp();
        const QPoint centre = lamp->geometry().center();
        const QPoint aboveDisc = lamp->geometry().topLeft() + QPoint(lamp->width() / 2, 2);
        lamp->setState(Quorin::LampState::Lit);
        QCOMPARE(pixelAt(form.get(), centre), QColor(0, 255, 0));
        QCOMPARE(pixelAt(form.get(), aboveDisc), background);
        lamp->setState(Quorin::LampState::Unlit);
        QCOMPARE(pixelAt(form.get(), centre), QColor(255, 0, 0));
    }

    // Every control of both windows where it must be, in twips, with its caption and its bold
    // font's size in points; the lamp has neither.
    void controlsSitWhereTheyMust_data()
    {
        QTest::addColumn<bool>("didactic");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips"); // left, top, width, height
        QTest::addColumn<QString>("caption");
        QTest::addColumn<qreal>("points");
        const auto row
            = [](bool didactic, const char *name, QRect twips, const char *caption, qreal points) {
                  QTest::addRow("%s %s", didactic ? "didactic" : "standard", name)
                      << didactic << QString::fromLatin1(name) << twips
                      << QString::fromUtf8(caption) << points;
              };
        // The standard window's controls sit 2280 twips lower in the didactic one, under its
        // echo box.
        const auto both = [&](const char *name, QRect twips, const char *caption, qreal points) {
            row(false, name, twips, caption, points);
            row(true, name, twips.translated(0, 2280), caption, points);
        };
        // clang-format off
        row(true, "Label1",   {4920, 120,  2775, 495},  "Dati ricevuti", 13.5);
        row(true, "Text9",    {240,  720,  11655, 1245}, "", 48);
        both("Label3",   {480,  240,  2775, 495},  "Porta seriale del PC", 13.5);
        both("Option1",  {480,  1200, 1335, 252},  "COM 3", 13.5);
        both("Shape1",   {2040, 720,  735,  1095}, "", 0);
        both("Label2",   {4320, 480,  1335, 975},  "Valore sensore", 13.5);
        both("Text1",    {5760, 240,  3735, 1305}, "", 48);
        both("Label4",   {9720, 720,  1455, 375},  "[0 - 100]", 13.5);
        both("Command1", {2160, 2040, 4095, 975},  "Blocca la ricezione", 18);
        both("Command2", {6720, 2040, 2295, 975},  "Ricevi i dati", 18);
        both("Command3", {9480, 2040, 1455, 975},  "Esci", 18);
        both("Label5",   {360,  3480, 3015, 975},
             "Porta fissa in COM 3, sceglierla da Pannello di Controllo", 12);
        // clang-format on
    }

    void controlsSitWhereTheyMust()
    {
        QFETCH(bool, didactic);
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, caption);
        QFETCH(qreal, points);
        const Quorin::FormLayout &layout
            = didactic ? Quorin::didacticLayout() : Quorin::standardLayout();
        // The table itself, to the twip, then the control on the screen.
        const Quorin::Placement *placed = layout.find(name);
        QVERIFY(placed);
        QCOMPARE(QRect(placed->left, placed->top, placed->width, placed->height), twips);
        const auto form = shownForm(layout);
        QVERIFY(form);
        auto *control = form->findChild<QWidget *>(name);
        QVERIFY(control);
        QVERIFY(control->isVisible());
        QCOMPARE(control->geometry(), inPixels(twips, form->screen()->logicalDotsPerInch()));
        if (points == 0)
            return;
        QCOMPARE(control->property("text").toString(), caption);
        QCOMPARE(control->font().pointSizeF(), points);
        QVERIFY(control->font().bold());
    }

    // What Qt itself shows in the window, a text box's context menu, is Italian too.
    void qtTextsAreItalian()
    {
        Quorin::prepareApplication(*qApp, u"Quorin"_s);
        const auto form = shownForm(Quorin::standardLayout());
        QVERIFY(form);
        auto *valueBox = form->findChild<QLineEdit *>(u"Text1"_s);
        valueBox->setText(u"50.2"_s);
        const std::unique_ptr<QMenu> menu(valueBox->createStandardContextMenu());
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator())
                texts += action->text().split(u'\t').front();
        }
        QCOMPARE(texts,
                 (QStringList{u"Ann&ulla"_s, u"&Rifai"_s, u"&Taglia"_s, u"&Copia"_s, u"&Incolla"_s,
                              u"Elimina"_s, u"Seleziona tutto"_s}));
    }
};

QTEST_MAIN(TestForm1Layout)
#include "tst_form1layout.moc"
