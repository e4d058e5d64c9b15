#include "labwindow.h"

#include "commport.h"
#include "journal.h"
#include "pointtablemodel.h"
#include "pointtext.h"
#include "program.h"
#include "protocol.h"
#include "recorder.h"
#include "sample.h"
#include "savefile.h"
#include "sessiongraph.h"
#include "statuslamp.h"
#include "valuebox.h"

#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

// The value on screen changes this often at most: readable, where the sensor sends hundreds of
// samples a second.
constexpr int ValueShownEveryMs = 100;
// The figures follow the recording this often.
constexpr int FiguresEveryMs = 500;
constexpr qint64 MsPerMinute = 60'000;
constexpr int LongestDurationMinutes = 24 * 60;
constexpr double InchesPerMetre = 1 / 0.0254;
constexpr double ScreenDpi = 96.0;
constexpr qreal ValuePointSize = 36;
constexpr int DefaultWidth = 1100;
constexpr int DefaultHeight = 720;

enum class Unsaved { Save, Discard, Cancel };

QString intervalText(qint64 ms)
{
    return ms < 1000 ? u"0,%1 s"_s.arg(ms / 100) : u"%1 s"_s.arg(ms / 1000);
}

QString elapsedText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    const qint64 minutes = seconds / 60;
    const qint64 hours = minutes / 60;
    if (hours > 0)
        return u"%1 h %2 min %3 s"_s.arg(hours).arg(minutes % 60).arg(seconds % 60);
    if (minutes > 0)
        return u"%1 min %2 s"_s.arg(minutes).arg(seconds % 60);
    return u"%1 s"_s.arg(seconds);
}

// What a folder's name may not hold on Windows, where most classes work.
QString safeFileName(QString name)
{
    static const QString forbidden = u"<>:\"/\\|?*"_s;
    for (QChar &c : name) {
        if (forbidden.contains(c) || c.unicode() < 32)
            c = u'-';
    }
    return name.simplified();
}

} // namespace

LabWindow::LabWindow(CommPort *port, const QString &journalFolder, QWidget *parent)
    : QWidget(parent)
    , m_port(port)
    , m_session(*new Session(this))
    , m_recorder(new Recorder(*port, m_session, this))
    , m_journal(new Journal(m_session, journalFolder, this))
    , m_journalFolder(journalFolder)
{
    setObjectName(u"Quorinlab"_s);
    setWindowTitle(u"Registrazione sensore"_s);
    m_port->setParent(this);
    createControls();

    m_showValue.setSingleShot(true);
    m_showValue.setInterval(ValueShownEveryMs);
    connect(&m_showValue, &QTimer::timeout, this, &LabWindow::showValue);
    m_figures.setInterval(FiguresEveryMs);
    connect(&m_figures, &QTimer::timeout, this, &LabWindow::updateFigures);

    connect(m_recorder, &Recorder::sampled, this, &LabWindow::onSampled);
    connect(m_recorder, &Recorder::failed, this, &LabWindow::onPortFailed);
    connect(m_recorder, &Recorder::runEnded, this, [this] {
        say(u"Registrazione ferma: %1 punti."_s.arg(m_session.points().size()));
        updateState();
    });
    connect(m_journal, &Journal::failed, this, &LabWindow::report);
    connect(&m_session, &Session::pointAdded, this, [this] {
        if (!m_figures.isActive())
            updateFigures();
        if (m_session.points().size() == 1)
            updateState();
    });
    for (const auto changed : {&Session::cleared, &Session::restored}) {
        connect(&m_session, changed, this, [this] {
            updateFigures();
            updateState();
        });
    }
    connect(&m_session, &Session::labelsChanged, this, [this] {
        m_valueUnit->setText(m_session.unit());
        updateFigures();
    });
    updateFigures();
    updateState();
    // Room for the graph beside the controls, within the screen.
    if (const QScreen *screen = this->screen())
        resize(QSize(DefaultWidth, DefaultHeight).boundedTo(screen->availableSize()));
}

LabWindow::~LabWindow() = default;

void LabWindow::createControls()
{
    const auto button = [this](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        return button;
    };
    const auto figure = [this](const char *name) {
        auto *label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    };

    m_graph = new SessionGraph(m_session, this);
    m_model = new PointTableModel(m_session, this);
    m_table = new QTableView(this);
    m_table->setObjectName(u"points"_s);
    m_table->setModel(m_model);
    m_table->setAccessibleName(u"Tabella dei punti"_s);
    m_table->setAccessibleDescription(u"I punti del grafico, uno per riga"_s);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Each column as wide as its heading, which names the unit and so changes with it, or as
    // its widest date.
    const auto fitColumns = [this] {
        const QFontMetrics cells(m_table->font());
        const QFontMetrics headings(m_table->horizontalHeader()->font());
        const QString margin = u"00"_s;
        for (int column = 0; column < ColumnCount; ++column) {
            const int width = Column(column) == Column::DateTime
                ? cells.horizontalAdvance(u"00/00/0000 00:00:00"_s + margin)
                : headings.horizontalAdvance(
                    m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()
                    + margin);
            m_table->setColumnWidth(column, width);
        }
    };
    fitColumns();
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, fitColumns);
    // A new row shows when the table was showing the last one.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        const QScrollBar *bar = m_table->verticalScrollBar();
        if (bar->value() >= bar->maximum() - m_table->verticalHeader()->defaultSectionSize())
            m_table->scrollToBottom();
    });

    auto *valueCaption = new QLabel(u"Valore attuale"_s, this);
    // The readers' value box, paced for screen readers as theirs is.
    m_value = new ValueBox(this);
    m_value->setObjectName(u"Text1"_s);
    QFont big(u"Arial"_s);
    big.setFamilies({u"Arial"_s, u"Liberation Sans"_s});
    big.setPointSizeF(ValuePointSize);
    big.setBold(true);
    m_value->setFont(big);
    m_value->setAlignment(Qt::AlignRight);
    m_value->setMinimumWidth(QFontMetrics(big).horizontalAdvance(u"100,0 "_s));
    valueCaption->setBuddy(m_value);
    m_valueUnit = new QLabel(this);
    m_valueUnit->setObjectName(u"valueUnit"_s);
    m_lamp = new StatusLamp(this);
    m_lamp->setMinimumSize(24, 24);
    m_lamp->setState(LampState::Unlit);

    m_start = button("startRecording", u"&Avvia la registrazione"_s);
    m_stop = button("stopRecording", u"&Ferma la registrazione"_s);
    m_saveData = button("saveData", u"&Salva i dati…"_s);
    m_saveGraph = button("saveGraph", u"Salva il &grafico…"_s);
    m_copyData = button("copyData", u"&Copia i dati"_s);
    m_newSession = button("newSession", u"&Nuova registrazione"_s);

    m_interval = new QComboBox(this);
    m_interval->setObjectName(u"interval"_s);
    for (const qint64 ms : Intervals)
        m_interval->addItem(intervalText(ms), ms);
    m_interval->setCurrentIndex(m_interval->findData(DefaultIntervalMs));
    m_interval->setAccessibleDescription(u"Ogni punto è la media dei campioni ricevuti in questo "
                                         "intervallo"_s);
    m_duration = new QSpinBox(this);
    m_duration->setObjectName(u"duration"_s);
    m_duration->setRange(0, LongestDurationMinutes);
    m_duration->setSpecialValueText(u"continua"_s);
    m_duration->setSuffix(u" min"_s);
    m_duration->setAccessibleDescription(u"Continua, oppure i minuti dopo i quali la "
                                         "registrazione si ferma da sola"_s);
    m_title = new QLineEdit(this);
    m_title->setObjectName(u"title"_s);
    m_title->setPlaceholderText(u"per esempio: Acqua che si raffredda"_s);
    m_unit = new QComboBox(this);
    m_unit->setObjectName(u"unit"_s);
    m_unit->setEditable(true);
    m_unit->addItems({QString(), u"°C"_s, u"%"_s});
    m_unit->setInsertPolicy(QComboBox::NoInsert);
    m_autoScale = new QCheckBox(u"Sca&la automatica"_s, this);
    m_autoScale->setObjectName(u"autoScale"_s);
    m_autoScale->setAccessibleDescription(u"Altrimenti la scala del grafico va da 0 a 100"_s);

    auto *settings = new QGroupBox(u"Registrazione"_s, this);
    auto *settingsForm = new QFormLayout(settings);
    settingsForm->addRow(u"&Intervallo fra i punti"_s, m_interval);
    settingsForm->addRow(u"&Durata"_s, m_duration);
    settingsForm->addRow(u"&Titolo"_s, m_title);
    settingsForm->addRow(u"&Unità di misura"_s, m_unit);
    settingsForm->addRow(m_autoScale);
    // A combo box that cannot be typed in reads as its choice; its caption names it.
    m_interval->setAccessibleName(
        qobject_cast<QLabel *>(settingsForm->labelForField(m_interval))->text().remove(u'&'));

    m_pointCount = figure("pointCount");
    m_elapsed = figure("elapsed");
    m_minimum = figure("minimum");
    m_maximum = figure("maximum");
    m_mean = figure("mean");
    // Each figure one line of text, its caption and its value, as a screen reader reads it.
    auto *figures = new QGroupBox(u"Sessione"_s, this);
    auto *figuresColumn = new QVBoxLayout(figures);
    for (QLabel *value : {m_pointCount, m_elapsed, m_minimum, m_maximum, m_mean})
        figuresColumn->addWidget(value);

    m_status = new QLabel(this);
    m_status->setObjectName(u"status"_s);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *valueRow = new QHBoxLayout;
    valueRow->addWidget(m_value, 1);
    valueRow->addWidget(m_valueUnit);
    valueRow->addWidget(m_lamp);
    auto *side = new QVBoxLayout;
    side->addWidget(valueCaption);
    side->addLayout(valueRow);
    side->addWidget(m_start);
    side->addWidget(m_stop);
    side->addWidget(settings);
    side->addWidget(figures);
    side->addWidget(m_saveData);
    side->addWidget(m_saveGraph);
    side->addWidget(m_copyData);
    side->addWidget(m_newSession);
    side->addWidget(m_status);
    side->addStretch();

    auto *views = new QSplitter(Qt::Vertical, this);
    views->setChildrenCollapsible(false);
    views->addWidget(m_graph);
    views->addWidget(m_table);
    views->setStretchFactor(0, 3);
    views->setStretchFactor(1, 2);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(views, 1);
    layout->addLayout(side);

    // Ctrl+Q ends the program where the system has that key for it, as the close button does.
    auto *quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
    connect(m_start, &QPushButton::clicked, this, &LabWindow::onStartClicked);
    connect(m_stop, &QPushButton::clicked, this, &LabWindow::onStopClicked);
    connect(m_saveData, &QPushButton::clicked, this, &LabWindow::onSaveDataClicked);
    connect(m_saveGraph, &QPushButton::clicked, this, &LabWindow::onSaveGraphClicked);
    connect(m_copyData, &QPushButton::clicked, this, &LabWindow::onCopyDataClicked);
    connect(m_newSession, &QPushButton::clicked, this, &LabWindow::onNewSessionClicked);
    connect(m_title, &QLineEdit::textChanged, &m_session, &Session::setTitle);
    connect(m_unit, &QComboBox::currentTextChanged, &m_session, &Session::setUnit);
    connect(m_autoScale, &QCheckBox::toggled, m_graph, &SessionGraph::setAutoScale);
}

void LabWindow::start()
{
    offerInterrupted();
    openPort();
}

void LabWindow::offerInterrupted()
{
    for (const Journal::Summary &found : Journal::interrupted(m_journalFolder)) {
        if (found.unsaved == 0) {
            Journal::remove(found.path); // nothing in it that a file does not have
            continue;
        }
        const QString title = found.title.simplified();
        QMessageBox box(
            QMessageBox::Question, windowTitle(),
            u"Una registrazione si è interrotta prima che i suoi dati fossero salvati%1: "
            "iniziata il %2 alle %3, ha %4 punti, %5 non salvati.\n\nRiprenderla? I "
            "suoi punti tornano nella finestra, da salvare o da continuare con \"Avvia "
            "la registrazione\"."_s
                .arg(title.isEmpty() ? QString() : u" (\"%1\")"_s.arg(title),
                     found.origin.toString(u"dd/MM/yyyy"_s), found.origin.toString(u"HH:mm"_s))
                .arg(found.points)
                .arg(found.unsaved),
            QMessageBox::NoButton, this);
        box.setTextFormat(Qt::PlainText);
        QPushButton *resume = box.addButton(u"&Riprendi"_s, QMessageBox::AcceptRole);
        QPushButton *discard = box.addButton(u"&Scarta"_s, QMessageBox::DestructiveRole);
        box.addButton(u"Più &tardi"_s, QMessageBox::RejectRole);
        box.setDefaultButton(resume);
        box.exec();
        if (box.clickedButton() == discard) {
            Journal::remove(found.path);
            continue;
        }
        if (box.clickedButton() == resume && m_journal->resume(found.path)) {
            m_title->setText(m_session.title());
            m_unit->setCurrentText(m_session.unit());
            if (const int index = m_interval->findData(m_journal->lastIntervalMs()); index >= 0)
                m_interval->setCurrentIndex(index);
            say(u"Registrazione ripresa: %1 punti."_s.arg(m_session.points().size()));
        }
        break;
    }
}

void LabWindow::openPort()
{
    try {
        m_recorder->openPort();
        m_lamp->setState(LampState::Lit);
    } catch (const SerialError &error) {
        m_lamp->setState(LampState::Unlit);
        report(error.message());
    }
}

qint64 LabWindow::chosenIntervalMs() const
{
    return m_interval->currentData().toLongLong();
}

void LabWindow::onStartClicked()
{
    try {
        m_recorder->start(chosenIntervalMs(), m_duration->value() * MsPerMinute);
    } catch (const SerialError &error) {
        m_lamp->setState(LampState::Unlit);
        report(error.message());
        return;
    }
    m_lamp->setState(LampState::Lit);
    m_graph->setPlannedEnd(m_recorder->runEndMs());
    say(m_duration->value() > 0
            ? u"Registrazione in corso: un punto ogni %1, per %2 min."_s
                  .arg(m_interval->currentText())
                  .arg(m_duration->value())
            : u"Registrazione in corso: un punto ogni %1."_s.arg(m_interval->currentText()));
    updateState();
}

void LabWindow::onStopClicked()
{
    m_recorder->stop();
}

void LabWindow::onPortFailed(const QString &message)
{
    m_lamp->setState(LampState::Unlit);
    updateState();
    report(m_session.isEmpty() ? message
                               : message
                   + u"\n\nI punti registrati restano: ricollegato il dispositivo, \"Avvia la "
                     "registrazione\" continua la registrazione."_s);
}

void LabWindow::onSampled(int code)
{
    m_newestCode = code;
    if (!m_showValue.isActive())
        m_showValue.start();
}

void LabWindow::showValue()
{
    m_value->showValue(formatValue(scaledValue(m_newestCode), QLocale()));
}

void LabWindow::updateState()
{
    const bool recording = m_session.isRecording();
    const bool points = !m_session.isEmpty();
    m_start->setEnabled(!recording);
    m_stop->setEnabled(recording);
    m_interval->setEnabled(!recording);
    m_duration->setEnabled(!recording);
    m_saveData->setEnabled(points);
    m_saveGraph->setEnabled(points);
    m_copyData->setEnabled(points);
    m_newSession->setEnabled(points && !recording);
    if (recording)
        m_figures.start();
    else
        m_figures.stop();
    updateFigures();
}

void LabWindow::updateFigures()
{
    const Figures &figures = m_session.figures();
    const QChar separator = decimalSeparatorFor(QLocale());
    const QString unit = m_session.unit().simplified();
    const auto value = [&](double v) {
        return figures.points == 0
            ? u"–"_s
            : (unit.isEmpty() ? meanText(v, separator) : meanText(v, separator) + u' ' + unit);
    };
    const auto set = [](QLabel *label, const QString &caption, const QString &figure) {
        const QString text = caption + u": "_s + figure;
        if (label->text() != text)
            label->setText(text);
    };
    set(m_pointCount, u"Punti"_s, QString::number(figures.points));
    set(m_elapsed, u"Tempo trascorso"_s,
        elapsedText(m_session.isRecording() ? m_recorder->sessionTimeMs() : m_session.endMs()));
    set(m_minimum, u"Minimo"_s, value(figures.minimum));
    set(m_maximum, u"Massimo"_s, value(figures.maximum));
    set(m_mean, u"Media"_s, value(figures.mean));
}

void LabWindow::report(const QString &message)
{
    showReport(*this, message);
}

void LabWindow::say(const QString &status)
{
    m_status->setText(status);
}

QString LabWindow::suggestedFileName(const QString &suffix) const
{
    // Documents where the user has that folder, else the home folder.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString name = safeFileName(m_session.title());
    if (name.isEmpty())
        name = u"Registrazione"_s;
    name += m_session.origin().toString(u" yyyy-MM-dd HH.mm"_s);
    return QDir(folder).filePath(name + u'.' + suffix);
}

bool LabWindow::saveData()
{
    const QString semicolon = u"Tabella per Excel e Calc in italiano (*.csv)"_s;
    const QString comma = u"Tabella con virgole e punti decimali, per altri programmi (*.csv)"_s;
    QFileDialog dialog(this, u"Salva i dati"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(u"csv"_s);
    dialog.setNameFilters({semicolon, comma});
    dialog.selectNameFilter(csvFormatFor(QLocale()) == CsvFormat::Semicolon ? semicolon : comma);
    dialog.selectFile(suggestedFileName(u"csv"_s));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    const CsvFormat format
        = dialog.selectedNameFilter() == comma ? CsvFormat::Comma : CsvFormat::Semicolon;
    const auto write = [&](QIODevice &file) { return writeCsv(m_session, format, file); };
    if (const auto failure = saveWhole(path, write)) {
        report(*failure);
        return false;
    }
    m_session.markSaved();
    say(u"Dati salvati in %1."_s.arg(QDir::toNativeSeparators(path)));
    return true;
}

void LabWindow::onSaveDataClicked()
{
    saveData();
}

void LabWindow::onSaveGraphClicked()
{
    QFileDialog dialog(this, u"Salva il grafico"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(u"png"_s);
    dialog.setNameFilter(u"Immagine PNG (*.png)"_s);
    dialog.selectFile(suggestedFileName(u"png"_s));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    // Lines and letters as large on the page as on the screen.
    QImage picture = m_graph->picture(QSize(PictureWidth, PictureHeight), PictureDpi / ScreenDpi);
    const int dotsPerMetre = int(std::lround(PictureDpi * InchesPerMetre));
    picture.setDotsPerMeterX(dotsPerMetre);
    picture.setDotsPerMeterY(dotsPerMetre);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    if (const auto failure = saveWhole(path, png)) {
        report(*failure);
        return;
    }
    say(u"Grafico salvato in %1."_s.arg(QDir::toNativeSeparators(path)));
}

void LabWindow::onCopyDataClicked()
{
    QGuiApplication::clipboard()->setText(tabText(m_session, decimalSeparatorFor(QLocale())));
    say(u"%1 punti copiati: incollarli in un foglio di calcolo, come Calc o Excel."_s.arg(
        m_session.points().size()));
}

bool LabWindow::settleUnsaved(const QString &question, const QString &goOn)
{
    QMessageBox box(QMessageBox::Question, windowTitle(), question, QMessageBox::NoButton, this);
    box.setTextFormat(Qt::PlainText);
    QPushButton *save = box.addButton(u"&Salva i dati…"_s, QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(goOn, QMessageBox::DestructiveRole);
    box.addButton(u"Annulla"_s, QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == discard)
        return true;
    if (box.clickedButton() != save)
        return false;
    // What a run still gathers goes into the file too.
    m_recorder->stop();
    return saveData();
}

void LabWindow::onNewSessionClicked()
{
    if (m_session.hasUnsavedPoints()
        && !settleUnsaved(u"I punti registrati non sono stati salvati. Salvarli prima di "
                          "iniziare una nuova registrazione?"_s,
                          u"&Non salvare"_s))
        return;
    m_session.clear();
    m_graph->setPlannedEnd(0);
    say(u"Nuova registrazione: \"Avvia la registrazione\" per iniziare."_s);
}

void LabWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closing && (m_session.hasUnsavedPoints() || m_session.isRecording())) {
        const QString question = m_session.isRecording()
            ? u"La registrazione è in corso. Salvare i dati prima di uscire?"_s
            : u"I punti registrati non sono stati salvati. Salvarli prima di uscire?"_s;
        if (!settleUnsaved(question, u"&Esci senza salvare"_s)) {
            event->ignore();
            return;
        }
    }
    m_closing = true;
    m_recorder->stop();
    try {
        m_recorder->closePort();
    } catch (const SerialError &) {
        // Ending anyway: nothing is left to read.
    }
    m_journal->discard();
    event->accept();
}

} // namespace Quorin
