#include "app/frmAlarm.h"

#include "app/spoken_names.h"
#include "window_layout/controls.h"
#include "window_layout/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

namespace timers {

namespace {
const QColor kBackground(192, 192, 192);
const QColor kColon(255, 0, 0);
constexpr int kClientWidthTwips = 3768;
constexpr int kClientHeightTwips = 3744;

const QString kHelpTitle = QStringLiteral("by Pell Ardo, QZ0QZ");
const QString kHelpText = QStringLiteral("<Esc> key or [Cancel] click stops the countdown timer.\r\n"
                                         "\r\n"
                                         "The countdown alarm wave file must be named {alarm.wav}\r\n"
                                         "and located in the application startup folder.\r\n"
                                         "\r\n"
                                         "The COM port can be used to activate a device during the\r\n"
                                         "countdown time.");

template <typename Control>
Control* place(QWidget* parent, const char* name, const QString& caption, QRect twips, double points)
{
    auto* control = new Control(caption, parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(rectFromTwips(twips.x(), twips.y(), twips.width(), twips.height()));
    control->setFont(captionFont(points));
    return control;
}

// The size of the time displays' digits.
constexpr double kDisplayPoints = 24;

// A value wider than its display ("-02:-05", "1000:00", a stopwatch past 99 hours) is shown
// whole in a smaller size of the same font rather than cut at both ends. The digits of a
// display `linedUpWith` another start at the other's top, so that both stand on one line.
void fitToDisplay(QLabel* display, const QWidget* linedUpWith)
{
    const QFont full = captionFont(kDisplayPoints);
    QFont font = full;
    const int room = display->width();
    while (font.pointSizeF() > 1 && QFontMetrics(font).horizontalAdvance(display->text()) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    if (font != display->font())
        display->setFont(font);
    // Smaller digits keep the vertical centre that full-size digits have in the box.
    const QFontMetricsF fullSize(full);
    const QFontMetricsF size(font);
    const qreal drop = (fullSize.ascent() - fullSize.capHeight() / 2) - (size.ascent() - size.capHeight() / 2);
    const int lineUp = linedUpWith ? linedUpWith->y() - display->y() : 0;
    display->setContentsMargins(0, lineUp + qRound(drop), 0, 0);
}

// Disabled button text that a dark palette would draw dark on dark: the lightest blend of the
// enabled text towards the button that still stands out from the button at 3:1.
QColor readableDisabledText(const QColor& text, const QColor& button)
{
    for (int step = 12; step > 0; --step) {
        const double towardsButton = step * 0.05;
        const QColor blend = QColor::fromRgbF(float(text.redF() + (button.redF() - text.redF()) * towardsButton),
                                              float(text.greenF() + (button.greenF() - text.greenF()) * towardsButton),
                                              float(text.blueF() + (button.blueF() - text.blueF()) * towardsButton));
        if (contrastRatio(blend, button) >= 3)
            return blend;
    }
    return text;
}

// A display says to a screen reader what it means as well as what it shows.
void showSpoken(QLabel* display, const QString& meaning, const QString& text, const QWidget* linedUpWith = nullptr)
{
    const QString spoken = meaning + QLatin1Char(' ') + text;
    if (display->accessibleName() == spoken)
        return; // the idle tick rewrites "00:00" every second
    display->setText(text);
    display->setAccessibleName(spoken);
    fitToDisplay(display, linedUpWith);
}

const QString kRemaining = QStringLiteral("Remaining time");
const QString kHours = QStringLiteral("Elapsed hours");
const QString kMinutes = QStringLiteral("Elapsed minutes");
const QString kSeconds = QStringLiteral("Elapsed seconds");

QLabel* placeLabel(QWidget* parent, const char* name, const QString& caption, QRect twips, double points,
                   Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop)
{
    auto* label = place<QLabel>(parent, name, caption, twips, points);
    label->setAlignment(alignment);
    return label;
}
} // namespace

frmAlarm::frmAlarm(Services services, QWidget* parent)
    : QMainWindow(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("frmAlarm"));
    setWindowTitle(QStringLiteral("Timers"));
    buildControls();
    buildMenus();
    addKeyboardCommands();

    connect(&services.tmrTime, &SignallingTickTimer::ticked, this, &frmAlarm::tmrTime_Timer);
    connect(Countdown1, &QPushButton::clicked, this, &frmAlarm::Countdown1_click);
    connect(Cancel, &QPushButton::clicked, this, &frmAlarm::Cancel_Click);
    connect(btnStart, &QPushButton::clicked, this, &frmAlarm::btnStart_Click);

    // Key preview: the window sees a key before the control that has the focus.
    qApp->installEventFilter(this);
}

void frmAlarm::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(pixelsFromTwips(kClientWidthTwips), pixelsFromTwips(kClientHeightTwips));
    // The background is fixed, so its texts are too: a dark desktop palette would turn them
    // light on the light grey.
    QPalette grey = client->palette();
    grey.setColor(QPalette::Window, kBackground);
    grey.setColor(QPalette::WindowText, Qt::black);
    client->setPalette(grey);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    const auto centred = Qt::AlignHCenter | Qt::AlignTop;
    Label5 = placeLabel(client, "Label5", QStringLiteral("Count down"), {1140, 252, 1476, 276}, 9.6, centred);
    lblTime = placeLabel(client, "lblTime", QStringLiteral("00:00"), {1176, 528, 1440, 492}, kDisplayPoints, centred);
    Countdown1 = place<QPushButton>(client, "Countdown1", QStringLiteral("Set"), {876, 1092, 828, 432}, 7.8);
    Cancel = place<QPushButton>(client, "Cancel", QStringLiteral("Cancel"), {2052, 1092, 828, 432}, 7.8);
    Cancel->setEnabled(false);
    Alarm = place<QCheckBox>(client, "Alarm", QStringLiteral("Alarm"), {1356, 1632, 972, 216}, 7.8);
    Label7 = placeLabel(client, "Label7", QStringLiteral("Elapsed"), {1116, 2220, 1476, 276}, 9.6, centred);
    Label1 = placeLabel(client, "Label1", QStringLiteral("00"), {900, 2484, 588, 480}, kDisplayPoints);
    Label4 = placeLabel(client, "Label4", QStringLiteral(":"), {1464, 2508, 96, 420}, 19.2);
    Label2 = placeLabel(client, "Label2", QStringLiteral("00"), {1584, 2484, 576, 480}, kDisplayPoints);
    Label6 = placeLabel(client, "Label6", QStringLiteral(":"), {2136, 2508, 108, 420}, 19.2);
    Label3 = placeLabel(client, "Label3", QStringLiteral("00"), {2268, 2472, 576, 480}, kDisplayPoints);
    btnStart = place<QPushButton>(client, "btnStart", QStringLiteral("Start"), {1368, 3024, 888, 432}, 7.8);

    for (QLabel* colon : {Label4, Label6}) {
        QPalette red = colon->palette();
        red.setColor(QPalette::WindowText, kColon);
        colon->setPalette(red);
    }
    for (QPushButton* button : {Countdown1, Cancel, btnStart}) {
        button->setAutoDefault(false);
        QPalette readable = button->palette();
        readable.setColor(QPalette::Disabled, QPalette::ButtonText,
                          readableDisabledText(readable.color(QPalette::Active, QPalette::ButtonText),
                                               readable.color(QPalette::Disabled, QPalette::Button)));
        button->setPalette(readable);
    }

    showSpoken(lblTime, kRemaining, lblTime->text());
    showSpoken(Label1, kHours, Label1->text());
    showSpoken(Label2, kMinutes, Label2->text());
    // The seconds' box lies 12 twips above the other two, which at most scales rounds to a
    // different pixel row: their digits are lined up with the hours'.
    showSpoken(Label3, kSeconds, Label3->text(), Label1);
    // The colons only draw the time's separators: a screen reader says nothing for them.
    for (QLabel* colon : {Label4, Label6})
        silenceForScreenReaders(colon);
    Countdown1->setAccessibleName(QStringLiteral("Set countdown"));
    Cancel->setAccessibleName(QStringLiteral("Cancel countdown"));
    Alarm->setAccessibleName(QStringLiteral("Alarm sound at the end of the countdown"));
    btnStart->setAccessibleName(QStringLiteral("Start stopwatch"));

    setTabOrder(btnStart, Countdown1);
    setTabOrder(Countdown1, Cancel);
    setTabOrder(Cancel, Alarm);
    btnStart->setFocus();
}

void frmAlarm::buildMenus()
{
    QMenu* mFile = menuBar()->addMenu(QStringLiteral("File"));
    mFile->setObjectName(QStringLiteral("mFile"));
    QAction* mExit = mFile->addAction(QStringLiteral("Exit"));
    mExit->setObjectName(QStringLiteral("mExit"));
    connect(mExit, &QAction::triggered, this, &frmAlarm::exitRequested);

    // ComPort and Help act at once from the menu bar, with no drop-down.
    QAction* mCom = menuBar()->addAction(QStringLiteral("ComPort"));
    mCom->setObjectName(QStringLiteral("mCom"));
    connect(mCom, &QAction::triggered, this, &frmAlarm::comPortRequested);
    // What the menu bar has no entry for: the window's own context menu (right-click).
    auto* device = new QAction(QStringLiteral("Device output..."), this);
    device->setObjectName(QStringLiteral("mDevice"));
    connect(device, &QAction::triggered, this, &frmAlarm::deviceOutputRequested);
    addAction(device);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    QAction* mHelp = menuBar()->addAction(QStringLiteral("Help"));
    mHelp->setObjectName(QStringLiteral("mHelp"));
    connect(mHelp, &QAction::triggered, this, &frmAlarm::mHelp_Click);
}

// Ctrl+Q and F1, as Linux programs have them, without a caption of the menus changing.
void frmAlarm::addKeyboardCommands()
{
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
            &frmAlarm::exitRequested);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &frmAlarm::mHelp_Click);
}

void frmAlarm::bringToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void frmAlarm::startup()
{
    m_services.countdown.lowerCancelFlag();
    adjustSize();
    setFixedSize(size());
    centreOnScreen();
    show();
}

// The window is centred with its frame: move() places the frame's corner.
void frmAlarm::centreOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QRect({}, frameGeometry().size()).center());
}

void frmAlarm::moveEvent(QMoveEvent* event)
{
    // A window manager frames the window only after it is shown, so its size is known only
    // then; centre once more as soon as it is.
    if (!m_centredWithFrame && frameGeometry().size() != size()) {
        m_centredWithFrame = true;
        centreOnScreen();
    }
    QMainWindow::moveEvent(event);
}

void frmAlarm::mHelp_Click() { m_services.dialogs.message(kHelpText, kHelpTitle, Dialogs::Icon::None, {}); }

void frmAlarm::closeEvent(QCloseEvent* event)
{
    // The exit sequence ends the process; the window itself never just closes.
    event->ignore();
    Q_EMIT exitRequested();
}

bool frmAlarm::eventFilter(QObject* watched, QEvent* event)
{
    // Qt offers a key press to each parent in turn; take it once, at its first receiver.
    if (event->type() == QEvent::KeyPress) {
        QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
        if (watched == first && first->window() == this) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape)
                m_services.countdown.keyDown(Countdown::kEscKey);
            else if (key == Qt::Key_P || key == Qt::Key_Pause)
                m_services.countdown.keyDown(Countdown::kPauseKey);
            else
                m_services.countdown.keyDown(key);
            if (clickOnEnter(first, key))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmAlarm::showRemaining(const QString& minutesSeconds) { showSpoken(lblTime, kRemaining, minutesSeconds); }

void frmAlarm::setCancelEnabled(bool enabled) { Cancel->setEnabled(enabled); }

void frmAlarm::Countdown1_click() { m_services.countdown.set(); }
void frmAlarm::Cancel_Click() { m_services.countdown.cancel(); }
void frmAlarm::btnStart_Click() { m_services.stopwatch.startOrStop(); }
void frmAlarm::tmrTime_Timer() { m_services.stopwatch.tick(); }

bool frmAlarm::alarmChecked() const { return Alarm->isChecked(); }

void frmAlarm::checkAlarm() { Alarm->setChecked(true); }

void frmAlarm::showElapsed(const QString& hours, const QString& minutes, const QString& seconds)
{
    showSpoken(Label1, kHours, hours);
    showSpoken(Label2, kMinutes, minutes);
    showSpoken(Label3, kSeconds, seconds, Label1);
}

void frmAlarm::setStartCaption(const QString& caption)
{
    btnStart->setText(caption);
    btnStart->setAccessibleName(caption + QStringLiteral(" stopwatch"));
}

} // namespace timers
