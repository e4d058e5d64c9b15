// The window as a user sees it at the screen's DPI, which CTest sets to 96 and to 144: where
// each control is, what it says, in which font and on which colour.

#include "form1.h"
#include "program.h"
#include "serialcommport.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <memory>

using Quorin::Form1;
using namespace Qt::StringLiterals;

namespace {

// What each control says and its font's size in points, bold in every case.
struct Caption
{
    const char *name;
    const char *text;
    qreal points;
};

const QList<Caption> Captions = {
    {"Label1", "Dati ricevuti", 13.5}, // the didactic window's only
    {"Text9", "", 48},                 // the didactic window's only
    {"Label3", "Porta seriale del PC", 13.5},
    {"Option1", "COM 3", 13.5},
    {"Label2", "Valore sensore", 13.5},
    {"Text1", "", 48},
    {"Label4", "[0 - 100]", 13.5},
    {"Command1", "Blocca la ricezione", 18},
    {"Command2", "Ricevi i dati", 18},
    {"Command3", "Esci", 18},
    {"Label5", "Porta fissa in COM 3, sceglierla da Pannello di Controllo", 12},
};

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
        QTest::addColumn<QSize>("sizeAt96Dpi"); // the client area's twips at 15 to a pixel
        QTest::addColumn<QColor>("background");
        QTest::newRow("standard") << false << QSize(830, 317) << QColor(255, 128, 0);
        QTest::newRow("didactic") << true << QSize(830, 488) << QColor(0, 192, 192);
    }

    void layoutsLayOutTheWindow()
    {
        QFETCH(bool, didactic);
        QFETCH(QSize, sizeAt96Dpi);
        QFETCH(QColor, background);
        const Quorin::FormLayout &layout
            = didactic ? Quorin::didacticLayout() : Quorin::standardLayout();
        const auto form = shownForm(layout);
        QVERIFY(form);
        const qreal dpi = form->screen()->logicalDotsPerInch();
        QCOMPARE(form->windowTitle(), u"Lettura sensore"_s);
        QCOMPARE(form->size(), sizeAt96Dpi * (dpi / 96));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(pixelAt(form.get(), QPoint(2, 2)), background);

        QCOMPARE(form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(),
                 layout.controls.size());
        for (const Caption &expected : Captions) {
            const Quorin::Placement *placement = layout.find(QLatin1String(expected.name));
            auto *control = form->findChild<QWidget *>(QLatin1String(expected.name));
            QCOMPARE(bool(control), bool(placement));
            if (!control)
                continue;
            QVERIFY2(control->isVisible(), expected.name);
            QCOMPARE(control->geometry(), placement->pixelRect(dpi));
            QCOMPARE(control->property("text").toString(), QString::fromUtf8(expected.text));
            QCOMPARE(control->font().pointSizeF(), expected.points);
            QVERIFY(control->font().bold());
        }

        // The lamp is a disc that touches the sides of its taller box: above it the window shows.
        Quorin::StatusLamp *lamp = form->lamp();
        const QPoint centre = lamp->geometry().center();
        const QPoint aboveDisc = lamp->geometry().topLeft() + QPoint(lamp->width() / 2, 2);
        QAccessibleInterface *accessibleLamp = QAccessible::queryAccessibleInterface(lamp);
        lamp->setState(Quorin::LampState::Lit);
        QCOMPARE(pixelAt(form.get(), centre), QColor(0, 255, 0));
        QCOMPARE(pixelAt(form.get(), aboveDisc), background);
        QCOMPARE(accessibleLamp->text(QAccessible::Name), u"Porta aperta"_s);
        lamp->setState(Quorin::LampState::Unlit);
        QCOMPARE(pixelAt(form.get(), centre), QColor(255, 0, 0));
        QCOMPARE(accessibleLamp->text(QAccessible::Name), u"Porta chiusa"_s);
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
