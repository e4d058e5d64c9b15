#include "form1.h"

#include "commport.h"
#include "echobox.h"
#include "program.h"
#include "sensorport.h"
#include "valuebox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

QFont fontFor(const FontSpec &spec)
{
    QFont font;
    // The Windows faces where they exist, else their metric-compatible free twins; then faces
    // that have the control pictures the echo box shows for control bytes. Microsoft Sans Serif
    // before MS Sans Serif: the same design, but TrueType, where Windows 10 and 11 have MS Sans
    // Serif only as a bitmap face of a few fixed sizes, which display scaling cannot follow.
    QStringList families = spec.face == Face::Arial
        ? QStringList{u"Arial"_s, u"Liberation Sans"_s}
        : QStringList{u"Microsoft Sans Serif"_s, u"MS Sans Serif"_s, u"Liberation Sans"_s};
    families << u"Segoe UI Symbol"_s << u"Symbola"_s;
    font.setFamilies(families);
    font.setPointSizeF(spec.pointSize);
    font.setBold(spec.bold);
    return font;
}

} // namespace

Form1::Form1(const FormLayout &layout, CommPort *port, QWidget *parent)
    : QWidget(parent)
    , m_port(port)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Lettura sensore"_s);
    m_port->setParent(this);
    connect(m_port, &CommPort::failed, this, &Form1::fail);

    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(layout.background));
    setPalette(background);
    setAutoFillBackground(true);

    createControls(layout.has(u"Text9"_s));
    applyLayout(layout);
}

void Form1::createControls(bool withEcho)
{
    const auto label = [this](const char *name, const QString &caption) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(name));
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    // A box is named by its caption, its buddy, as a screen reader reads it.
    const auto box = [](auto *box, const char *name) {
        box->setObjectName(QLatin1String(name));
        return box;
    };
    const auto button = [this](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        return button;
    };

    if (withEcho)
        label("Label1", u"Dati ricevuti"_s)->setBuddy(m_text9 = box(new EchoBox(this), "Text9"));
    label("Label3", u"Porta seriale del PC"_s);
    m_option1 = new QRadioButton(u"COM 3"_s, this);
    m_option1->setObjectName(u"Option1"_s);
    m_option1->setAccessibleName(u"Porta seriale del PC: COM 3"_s);
    m_option1->setChecked(true);
    // A button's background is the button colour; the option sits on the window's instead.
    m_option1->setBackgroundRole(QPalette::Window);
    m_lamp = new StatusLamp(this);
    label("Label2", u"Valore sensore"_s)->setBuddy(m_text1 = box(new ValueBox(this), "Text1"));
    label("Label4", u"[0 - 100]"_s);
    m_command1 = button("Command1", u"Blocca la ricezione"_s);
    m_command2 = button("Command2", u"Ricevi i dati"_s);
    m_command3 = button("Command3", u"Esci"_s);
    label("Label5", u"Porta fissa in COM 3, sceglierla da Pannello di Controllo"_s);

    for (QWidget *onWindowColour : findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(onWindowColour) || onWindowColour == m_option1)
            onWindowColour->setAutoFillBackground(true);
    }

    connect(m_command1, &QPushButton::clicked, this,
            [this] { guarded([this] { onStopClicked(); }); });
    connect(m_command2, &QPushButton::clicked, this, &Form1::receiveClicked);
    connect(m_command3, &QPushButton::clicked, this,
            [this] { guarded([this] { onExitClicked(); }); });
}

void Form1::applyLayout(const FormLayout &layout)
{
    const QScreen *screen = this->screen();
    const qreal dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    setFixedSize(twipsToPixels(layout.width, dpi), twipsToPixels(layout.height, dpi));

    std::vector<std::pair<int, QWidget *>> tabOrder;
    for (const Placement &placement : layout.controls) {
        auto *control
            = findChild<QWidget *>(QLatin1String(placement.name), Qt::FindDirectChildrenOnly);
        Q_ASSERT_X(control, "Form1", placement.name);
        control->setGeometry(placement.pixelRect(dpi));
        if (placement.font)
            control->setFont(fontFor(*placement.font));
        if (placement.tabIndex >= 0 && (control->focusPolicy() & Qt::TabFocus))
            tabOrder.emplace_back(placement.tabIndex, control);
    }
    std::sort(tabOrder.begin(), tabOrder.end());
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    // The first control in the tab order holds the focus when the window opens.
    if (!tabOrder.empty())
        tabOrder.front().second->setFocus();
}

void Form1::load()
{
    if (m_port->isOpen())
        m_port->setOpen(false);
    configureSensorPort(*m_port);
    m_lamp->setState(LampState::Unlit);
    if (!m_port->isOpen())
        m_port->setOpen(true);
    m_lamp->setState(LampState::Lit);
}

void Form1::onStopClicked()
{
    if (!m_port->isOpen())
        return;
    m_lamp->setState(LampState::Unlit);
    m_port->setOpen(false);
}

void Form1::onExitClicked()
{
    if (m_port->isOpen())
        m_port->setOpen(false);
    endProgram(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the window ends the program as "Esci" does, also while a receive loop runs:
    // otherwise the loop would go on without a window, holding the port.
    event->accept();
    if (!m_ending)
        guarded([this] { onExitClicked(); });
}

void Form1::fail(const QString &message)
{
    if (m_ending)
        return;
    m_ending = true;
    // The port goes first: a dialog shown while a vanished device still reports errors would
    // never get the thread to itself.
    try {
        if (m_port->isOpen())
            m_port->setOpen(false);
    } catch (const SerialError &) {
        // The report below is about the first failure, not this one.
    }
    // While the report waits for the user, the lamp says what the port is.
    if (!m_port->isOpen())
        m_lamp->setState(LampState::Unlit);
    showReport(*this, message);
    hide();
    QCoreApplication::exit(1);
}

void Form1::endProgram(int exitCode)
{
    if (m_ending)
        return;
    m_ending = true;
    hide();
    QCoreApplication::exit(exitCode);
}

void Form1::guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const SerialError &error) {
        fail(error.message());
    }
}

} // namespace Quorin
