#include "app/TProgressWindow.h"

#include "app/ErrorBox.h"
#include "app/ProgressTables.h"
#include "app/TestDayPanel.h"
#include "app/progress/MarkedLetters.h"
#include "app/progress/ProgressCsv.h"
#include "platform/ui/Dialogs.h"
#include "rtl/Exception.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

namespace {

using app::MakeTable;
using app::SortItem;
using app::progress::Attempt;
using app::progress::WordRow;

// The misspellings list shows the newest ones; the CSV export holds them all.
constexpr int kMisspellingsShown = 200;

const QString kAllLessons = QStringLiteral("All lessons");

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QDateTime ParseTime(const std::string& iso)
{
    return QDateTime::fromString(Text(iso), Qt::ISODateWithMs);
}

// A time of the history as the window shows it; the text itself where it is no time.
QString ShownTime(const std::string& iso, const QString& format = QStringLiteral("yyyy-MM-dd HH:mm"))
{
    const QDateTime time = ParseTime(iso);
    return time.isValid() ? time.toString(format) : Text(iso);
}

// The x axis over the tests from `first` to `last` (ms since the epoch): times when they
// span less than two days, dates otherwise, and ticks far enough apart that no label
// repeats.
void SetTestRange(QDateTimeAxis* axis, qint64 first, qint64 last)
{
    constexpr qint64 kMinute = 60 * 1000;
    constexpr qint64 kHour = 60 * kMinute;
    constexpr qint64 kDay = 24 * kHour;
    constexpr int kMostTicks = 5;
    qint64 from = 0;
    qint64 to = 0;
    if (last - first < 2 * kDay) {
        // Half an hour around at least, so the ticks of HH:mm labels are 15 minutes apart.
        const qint64 pad = std::max<qint64>((last - first) / 10, 30 * kMinute);
        from = first - pad;
        to = last + pad;
        const bool oneDay =
            QDateTime::fromMSecsSinceEpoch(from).date() == QDateTime::fromMSecsSinceEpoch(to).date();
        axis->setFormat(oneDay ? QStringLiteral("HH:mm") : QStringLiteral("MM-dd HH:mm"));
        axis->setTickCount(kMostTicks);
    } else {
        from = first - kDay / 2;
        to = last + kDay / 2;
        axis->setFormat(QStringLiteral("yyyy-MM-dd"));
        // Ticks more than a day apart (a day of a clock change is 25 hours) fall on different dates.
        const qint64 days = (to - from) / (kDay + kHour);
        axis->setTickCount(static_cast<int>(std::min<qint64>(kMostTicks, days + 1)));
    }
    axis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
}

QString Percent(double share)
{
    return QString::number(qRound(share * 100)) + QLatin1Char('%');
}

} // namespace

TProgressWindow::TProgressWindow(app::progress::ProgressSource source,
                                 const std::optional<std::string>& lesson, QWidget* parent)
    : QDialog(parent), source_(std::move(source))
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(QStringLiteral("Progress of %1").arg(Text(source_.player)));
    setModal(true);
    setSizeGripEnabled(true);
    setMinimumSize(560, 420);
    resize(880, 660);

    cbLesson = new QComboBox(this);
    cbLesson->setObjectName(QStringLiteral("cbLesson"));
    cbLesson->addItem(kAllLessons);
    for (const std::string& name : source_.lessons)
        cbLesson->addItem(Text(name));
    auto* lessonLabel = new QLabel(QStringLiteral("&Lesson:"), this);
    lessonLabel->setBuddy(cbLesson);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblNotes = new QLabel(this);
    lblNotes->setObjectName(QStringLiteral("lblNotes"));
    lblNotes->setWordWrap(true);
    lblNotes->setStyleSheet(QStringLiteral("color:#a04000"));

    chartView = new QChartView(this);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(250); // room for the axis titles at the first size

    tabs = new QTabWidget(this);
    tblWords = MakeTable(tabs, "tblWords",
                         {QStringLiteral("Lesson"), QStringLiteral("Word"), QStringLiteral("Tries"),
                          QStringLiteral("Right"), QStringLiteral("Share right"),
                          QStringLiteral("Last tried"), QStringLiteral("Last five")});
    tblWords->horizontalHeaderItem(2)->setToolTip(QStringLiteral("Every answer the record has counted."));
    tblWords->horizontalHeaderItem(3)->setToolTip(
        QStringLiteral("Every right answer the record has counted."));
    txtMisspellings = new QTextBrowser(tabs);
    txtMisspellings->setObjectName(QStringLiteral("txtMisspellings"));
    tblPatterns =
        MakeTable(tabs, "tblPatterns",
                  {QStringLiteral("Kind of mistake"), QStringLiteral("Answers"), QStringLiteral("Examples")});
    tblPatterns->horizontalHeaderItem(1)->setToolTip(QStringLiteral(
        "Wrong answers showing this kind of mistake; an answer showing it twice counts once."));
    tblPatterns->horizontalHeaderItem(2)->setToolTip(QStringLiteral("The word, with what was typed."));
    tabs->addTab(tblWords, QStringLiteral("&Words"));
    tabs->addTab(txtMisspellings, QStringLiteral("&Misspellings"));
    tabs->addTab(tblPatterns, QStringLiteral("P&atterns"));
    pnlTestDay = new app::TestDayPanel(tabs);
    tabs->addTab(pnlTestDay, QStringLiteral("&Test date"));
    tabs->setTabVisible(tabs->indexOf(pnlTestDay), false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    btnSaveCsv = buttons->addButton(QStringLiteral("&Save as CSV"), QDialogButtonBox::ActionRole);
    btnPrint = buttons->addButton(QStringLiteral("&Print"), QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnSaveCsv, &QPushButton::clicked, this, [this] { btnSaveCsvClick(); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    btnWholeClass = buttons->addButton(QStringLiteral("Whole &class"), QDialogButtonBox::ActionRole);
    connect(btnWholeClass, &QPushButton::clicked, this, [this] { done(kShowClass); });

    auto* top = new QHBoxLayout;
    top->addWidget(lessonLabel);
    top->addWidget(cbLesson, 1);
    top->addStretch(2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblSummary);
    layout->addWidget(lblNotes);
    layout->addWidget(chartView, 2);
    layout->addWidget(tabs, 3);
    layout->addWidget(buttons);

    const int index = lesson ? cbLesson->findText(Text(*lesson), Qt::MatchExactly) : -1;
    cbLesson->setCurrentIndex(index > 0 ? index : 0);
    ShowLesson(Lesson());
    connect(cbLesson, &QComboBox::currentIndexChanged, this, [this] { ShowLesson(Lesson()); });

    AskCsvPath = [this] {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save as CSV"),
                                            folder + QLatin1Char('/') + Text(source_.player) +
                                                QStringLiteral(" attempts.csv"),
                                            QStringLiteral("CSV files (*.csv)"))
            .toStdString();
    };
    AskPrinter = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, this);
        return dialog.exec() == QDialog::Accepted;
    };
}

TProgressWindow::~TProgressWindow() = default;

std::optional<std::string> TProgressWindow::Lesson() const
{
    if (cbLesson->currentIndex() <= 0)
        return std::nullopt;
    return cbLesson->currentText().toStdString();
}

void TProgressWindow::ShowLesson(const std::optional<std::string>& lesson)
{
    report_ = app::progress::BuildReport(source_.history.attempts, source_.record, lesson);
    FillSummary();
    FillChart();
    FillWords();
    FillMisspellings();
    FillPatterns();
    FillTestDay();
}

void TProgressWindow::ShowTestDays(std::map<std::string, LessonTestDay> lessons, app::learning::Day today)
{
    testDays_ = std::move(lessons);
    today_ = today;
    FillSummary(); // the notes lose an earlier warning
    FillTestDay();
}

void TProgressWindow::FillTestDay()
{
    const auto lesson = Lesson();
    const auto test = lesson ? testDays_.find(*lesson) : testDays_.end();
    tabs->setTabVisible(tabs->indexOf(pnlTestDay), test != testDays_.end());
    if (test == testDays_.end())
        return;
    pnlTestDay->Show(source_.history.attempts, *lesson, test->second.words, test->second.day, today_);
    if (pnlTestDay->Warning().isEmpty())
        return;
    const QString notes = lblNotes->text();
    lblNotes->setText(notes.isEmpty() ? pnlTestDay->Warning()
                                      : notes + QLatin1Char('\n') + pnlTestDay->Warning());
    lblNotes->setVisible(true);
}

void TProgressWindow::FillSummary()
{
    const auto& s = report_.summary;
    QString text = QStringLiteral("Lessons practised: %1 \u00b7 Tests taken: %2 \u00b7 Attempts: %3")
                       .arg(s.lessons)
                       .arg(s.tests)
                       .arg(static_cast<qulonglong>(s.attempts));
    if (s.runWords > 0)
        text += QStringLiteral("\nWords right at the first answer of a test: %1 (%2 of %3)")
                    .arg(Percent(static_cast<double>(s.runWordsFirstRight) / s.runWords))
                    .arg(s.runWordsFirstRight)
                    .arg(s.runWords);
    if (s.tests > 0)
        text += QStringLiteral("\nFirst test: %1 \u00b7 Last test: %2")
                    .arg(ShownTime(s.firstTest, QStringLiteral("yyyy-MM-dd")),
                         ShownTime(s.lastTest, QStringLiteral("yyyy-MM-dd")));
    lblSummary->setText(text);

    QStringList notes;
    const auto& history = source_.history;
    if (history.unreadable)
        notes << QStringLiteral("The history file could not be read: tries and right answers come from the "
                                "record only.");
    if (history.skippedLines > 0)
        notes << QStringLiteral("%1 damaged or unknown line(s) of the history were left out.")
                     .arg(static_cast<qulonglong>(history.skippedLines));
    if (report_.incomplete)
        notes << QStringLiteral("The history is incomplete: some answers counted in the record are missing "
                                "from it (words marked *).");
    if (report_.triesBeforeHistory && !history.unreadable)
        notes << (report_.historySince.empty()
                      ? QStringLiteral(
                            "No history is kept yet: it begins with the next test. Until then tries "
                            "and right answers come from the record only.")
                      : QStringLiteral("History is kept since %1: earlier tries count only in the record.")
                            .arg(ShownTime(report_.historySince)));
    lblNotes->setText(notes.join(QLatin1Char('\n')));
    lblNotes->setVisible(!notes.isEmpty());
}

QChart* TProgressWindow::MakeChart() const
{
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Words right at the first answer, test by test"));
    std::map<std::string, QLineSeries*> series; // one line per lesson
    std::optional<qint64> first;
    qint64 last = 0;
    for (const auto& run : report_.runs) {
        const QDateTime time = ParseTime(run.run);
        if (!time.isValid())
            continue;
        QLineSeries*& line = series[run.lesson];
        if (!line) {
            line = new QLineSeries;
            line->setName(Text(run.lesson));
            line->setPointsVisible(true);
        }
        const qint64 at = time.toMSecsSinceEpoch();
        first = first ? std::min(*first, at) : at;
        last = std::max(last, at);
        line->append(static_cast<qreal>(at), run.Share() * 100.0);
    }
    auto* xAxis = new QDateTimeAxis;
    xAxis->setTitleText(QStringLiteral("Test"));
    auto* yAxis = new QValueAxis;
    yAxis->setRange(0, 100);
    yAxis->setLabelFormat(QStringLiteral("%d%%"));
    yAxis->setTitleText(QStringLiteral("Share right"));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    for (auto& entry : series) {
        chart->addSeries(entry.second);
        entry.second->attachAxis(xAxis);
        entry.second->attachAxis(yAxis);
    }
    if (first) {
        SetTestRange(xAxis, *first, last);
    } else {
        chart->setTitle(QStringLiteral("No tests in the history yet"));
    }
    chart->legend()->setVisible(series.size() > 1);
    return chart;
}

void TProgressWindow::FillChart()
{
    QChart* old = chartView->chart();
    chartView->setChart(MakeChart());
    delete old;
}

void TProgressWindow::FillWords()
{
    tblWords->setSortingEnabled(false);
    tblWords->clearContents();
    tblWords->setRowCount(static_cast<int>(report_.words.size()));
    int row = 0;
    for (const WordRow& word : report_.words) {
        const bool tricky = source_.tricky.count({word.lesson, word.word}) > 0;
        const QString marker = (word.incomplete ? QStringLiteral(" *") : QString()) +
                               (tricky ? QStringLiteral(" (tricky)") : QString());
        auto* wordItem = new QTableWidgetItem(Text(word.word) + marker);
        if (word.trouble > 0) {
            QFont bold = wordItem->font();
            bold.setBold(true);
            wordItem->setFont(bold);
        }
        QStringList notes;
        if (word.incomplete)
            notes << QStringLiteral("The history misses some of this word's answers.");
        if (tricky)
            notes << QStringLiteral("Tricky: practising from memory, the child missed it three times "
                                    "and copied it to finish.");
        wordItem->setToolTip(notes.join(QLatin1Char('\n')));
        const auto share = word.ShareRight();
        tblWords->setItem(row, 0, new QTableWidgetItem(Text(word.lesson)));
        tblWords->setItem(row, 1, wordItem);
        tblWords->setItem(row, 2, new SortItem(QString::number(word.tries), word.tries));
        tblWords->setItem(row, 3, new SortItem(QString::number(word.right), word.right));
        tblWords->setItem(row, 4, new SortItem(share ? Percent(*share) : QString(), share.value_or(2.0)));
        tblWords->setItem(
            row, 5, new QTableWidgetItem(word.lastTried.empty() ? QString() : ShownTime(word.lastTried)));
        tblWords->setItem(row, 6,
                          new SortItem(Text(app::progress::ResultMarks(word.lastFive)), -word.trouble));
        ++row;
    }
    // Tries and Right are the record's; the share comes from the history, kept since its first line.
    QTableWidgetItem* share = tblWords->horizontalHeaderItem(4);
    share->setText(ShareRightTitle());
    share->setToolTip(report_.historySince.empty()
                          ? QStringLiteral("No history is kept yet.")
                          : QStringLiteral("The share of the answers in the history that were right. The "
                                           "history is kept since %1; Tries and Right count every answer.")
                                .arg(ShownTime(report_.historySince)));
    tblWords->setColumnHidden(0, Lesson().has_value());
    // Trouble words first, as the report orders them, until a column is clicked.
    tblWords->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tblWords->setSortingEnabled(true);
    tblWords->resizeColumnsToContents();
}

void TProgressWindow::FillMisspellings()
{
    const auto& all = report_.misspellings;
    QString html = QStringLiteral("<p>Newest first. <b style=\"color:#c00000\">Wrong letter</b>, "
                                  "<s style=\"color:#c00000\">letter added</s>, "
                                  "<u style=\"color:#008000\">letter missing</u>, "
                                  "<b style=\"color:#d07000\">letters swapped</b>.");
    if (all.size() > static_cast<std::size_t>(kMisspellingsShown))
        html += QStringLiteral(" The newest %1 of %2 are shown; Save as CSV writes them all.")
                    .arg(kMisspellingsShown)
                    .arg(static_cast<qulonglong>(all.size()));
    html += QStringLiteral("</p><table cellspacing=\"6\">");
    const std::size_t count = std::min(all.size(), static_cast<std::size_t>(kMisspellingsShown));
    for (std::size_t i = 0; i < count; ++i) {
        const Attempt& attempt = *all[i];
        html += QStringLiteral("<tr><td>%1</td><td><b>%2</b></td><td>%3</td></tr>")
                    .arg(ShownTime(attempt.time), Text(attempt.word).toHtmlEscaped(),
                         app::progress::MarkedTyped(attempt.typed, attempt.word));
    }
    html += QStringLiteral("</table>");
    if (all.empty())
        html = QStringLiteral("<p>No misspellings in the history.</p>");
    txtMisspellings->setHtml(html);
}

void TProgressWindow::FillPatterns()
{
    tblPatterns->clearContents();
    tblPatterns->setRowCount(static_cast<int>(report_.patterns.size()));
    int row = 0;
    for (const auto& pattern : report_.patterns) {
        tblPatterns->setItem(row, 0, new QTableWidgetItem(Text(app::progress::PatternName(pattern.kind))));
        tblPatterns->setItem(row, 1, new SortItem(QString::number(pattern.answers), pattern.answers));
        tblPatterns->setItem(row, 2, new QTableWidgetItem(ExamplesText(pattern)));
        ++row;
    }
    tblPatterns->resizeColumnsToContents();
}

QString TProgressWindow::ShareRightTitle() const
{
    return report_.historySince.empty()
               ? QStringLiteral("Share right")
               : QStringLiteral("Share right since %1")
                     .arg(ShownTime(report_.historySince, QStringLiteral("yyyy-MM-dd")));
}

QString TProgressWindow::ExamplesText(const app::progress::PatternCount& pattern)
{
    QStringList examples;
    for (const auto& example : pattern.examples)
        examples << QStringLiteral("%1 (%2)").arg(Text(example.word), Text(example.typed));
    return examples.join(QStringLiteral(", "));
}

std::pair<std::string, std::string> TProgressWindow::CsvPaths(const std::string& attemptsPath)
{
    std::filesystem::path attempts(attemptsPath);
    if (attempts.extension() != ".csv")
        attempts += ".csv";
    std::string stem = attempts.stem().string();
    const auto at = stem.rfind("attempts");
    stem = at == std::string::npos ? stem + " words" : stem.replace(at, 8, "words");
    return {attempts.string(), (attempts.parent_path() / (stem + ".csv")).string()};
}

void TProgressWindow::SaveCsv(const std::string& attemptsPath)
{
    const auto [attempts, words] = CsvPaths(attemptsPath);
    const std::pair<std::string, std::string> files[] = {
        {attempts, app::progress::AttemptsCsv(report_.attempts)},
        {words, app::progress::WordsCsv(report_.words)},
    };
    // Both files are written in full before either replaces what was there.
    std::vector<std::unique_ptr<QSaveFile>> saves;
    for (const auto& [path, bytes] : files) {
        auto save = std::make_unique<QSaveFile>(Text(path));
        if (!save->open(QIODevice::WriteOnly) ||
            save->write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
            throw rtl::Exception("Cannot write " + path + ": " + save->errorString().toStdString());
        saves.push_back(std::move(save));
    }
    for (std::size_t i = 0; i < saves.size(); ++i)
        if (!saves[i]->commit())
            throw rtl::Exception("Cannot write " + files[i].first + ": " +
                                 saves[i]->errorString().toStdString());
}

bool TProgressWindow::MayReplaceCsvFiles(const std::string& chosen)
{
    const auto [attempts, words] = CsvPaths(chosen);
    std::vector<std::string> existing;
    for (const std::string& file : {attempts, words}) {
        std::error_code error;
        // The save dialog asked about the name it gave back; not about the others.
        if (file != chosen && std::filesystem::exists(file, error))
            existing.push_back(file);
    }
    if (existing.empty())
        return true;
    return platform::ConfirmYesNo(existing.size() == 1 ? existing[0] + " already exists. Replace it?"
                                                       : existing[0] + " and " + existing[1] +
                                                             " already exist. Replace them?");
}

void TProgressWindow::btnSaveCsvClick()
{
    try {
        const std::string path = AskCsvPath();
        if (path.empty() || !MayReplaceCsvFiles(path))
            return;
        SaveCsv(path);
        const auto [attempts, words] = CsvPaths(path);
        platform::ShowInformation("Saved the attempts in " + attempts + " and the words in " + words + ".");
    } catch (...) {
        app::ShowCurrentException();
    }
}

void TProgressWindow::btnPrintClick()
{
    try {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(QStringLiteral("Progress of %1").arg(Text(source_.player)));
        if (AskPrinter(printer))
            PrintReport(printer);
    } catch (...) {
        app::ShowCurrentException();
    }
}

void TProgressWindow::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (painted_)
        return;
    painted_ = true;
    emit firstPainted();
}
