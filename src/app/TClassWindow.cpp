#include "app/TClassWindow.h"

#include "app/ErrorBox.h"
#include "app/ProgressTables.h"
#include "app/progress/ClassSource.h"
#include "app/progress/ProgressCsv.h"
#include "platform/ui/Dialogs.h"
#include "rtl/Exception.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include <memory>

namespace {

using app::progress::ClassWord;
using app::progress::PlayerRow;

const QString kAllLessons = QStringLiteral("All lessons");
const QString kWholeClass = QStringLiteral("Whole class");

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

std::string ShareText(const std::optional<double>& share)
{
    return share ? std::to_string(static_cast<int>(*share * 100 + 0.5)) + "%" : std::string();
}

std::string Joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string LastTestRight(const PlayerRow& row)
{
    return row.tests ? std::to_string(row.lastTestFirstRight) + " of " + std::to_string(row.lastTestWords)
                     : std::string();
}

// No share sorts below every share.
double KeyOf(const std::optional<double>& share)
{
    return share.value_or(-1.0);
}

// The rows of the players table, as shown, exported and printed.
std::vector<std::string> PlayerCells(const PlayerRow& row)
{
    if (row.unread)
        return {row.player, "", "", "", "", "", "", row.problem};
    return {row.player,           std::to_string(row.tests),        row.lastTest,        LastTestRight(row),
            ShareText(row.share), std::to_string(row.troubleWords), Joined(row.hardest), row.problem};
}

std::vector<std::string> WordCells(const ClassWord& word)
{
    return {word.lesson, word.word, std::to_string(word.playersMissing), ShareText(word.FirstShare())};
}

const std::vector<std::string> kPlayerHeaders = {
    "Player",        "Tests",         "Last test",     "Last test right at first", "Right at first overall",
    "Trouble words", "Hardest words", "Could not read"};
const std::vector<std::string> kWordHeaders = {"Lesson", "Word", "Players missing it",
                                               "Right at first across the class"};

QStringList Headers(const std::vector<std::string>& headers)
{
    QStringList list;
    for (const std::string& header : headers)
        list << Text(header);
    return list;
}

QString HtmlTable(const std::vector<std::string>& headers, const std::vector<std::vector<std::string>>& rows)
{
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const std::string& header : headers)
        html += QStringLiteral("<th>") + Text(header).toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (const auto& row : rows) {
        html += QStringLiteral("<tr>");
        for (const std::string& cell : row)
            html += QStringLiteral("<td>") + Text(cell).toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

void WriteFileWhole(const std::string& path, const std::string& bytes)
{
    QSaveFile file(Text(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.commit())
        throw rtl::Exception("Cannot write " + path + ": " + file.errorString().toStdString());
}

} // namespace

TClassWindow::TClassWindow(std::filesystem::path children,
                           std::map<std::string, std::vector<std::string>> lessonWords,
                           const std::optional<std::string>& lesson, QWidget* parent)
    : QDialog(parent), firstLesson_(lesson)
{
    setObjectName(QStringLiteral("ClassWindow"));
    setWindowTitle(QStringLiteral("Progress of the whole class"));
    setModal(true);
    setSizeGripEnabled(true);
    setMinimumSize(560, 420);
    resize(880, 660);

    cbView = new QComboBox(this);
    cbView->setObjectName(QStringLiteral("cbView"));
    cbView->addItem(kWholeClass);
    auto* viewLabel = new QLabel(QStringLiteral("Pla&yer:"), this);
    viewLabel->setBuddy(cbView);
    cbLesson = new QComboBox(this);
    cbLesson->setObjectName(QStringLiteral("cbLesson"));
    cbLesson->addItem(kAllLessons);
    for (const auto& [name, words] : lessonWords)
        if (!name.empty())
            cbLesson->addItem(Text(name));
    auto* lessonLabel = new QLabel(QStringLiteral("&Lesson:"), this);
    lessonLabel->setBuddy(cbLesson);
    const int index = lesson ? cbLesson->findText(Text(*lesson), Qt::MatchExactly) : -1;
    cbLesson->setCurrentIndex(index > 0 ? index : 0);

    barReading = new QProgressBar(this);
    barReading->setObjectName(QStringLiteral("barReading"));
    barReading->setFormat(QStringLiteral("Reading the players' results: %v of %m"));
    barReading->setRange(0, 0);
    lblNotes = new QLabel(this);
    lblNotes->setObjectName(QStringLiteral("lblNotes"));
    lblNotes->setWordWrap(true);
    lblNotes->setStyleSheet(QStringLiteral("color:#a04000"));

    tabs = new QTabWidget(this);
    tblPlayers = app::MakeTable(tabs, "tblPlayers", Headers(kPlayerHeaders));
    tblWords = app::MakeTable(tabs, "tblWords", Headers(kWordHeaders));
    tblPatterns = app::MakeTable(
        tabs, "tblPatterns",
        {QStringLiteral("Kind of mistake"), QStringLiteral("Count"), QStringLiteral("Players")});
    tabs->addTab(tblPlayers, QStringLiteral("&Players"));
    tabs->addTab(tblWords, QStringLiteral("&Words missed"));
    tabs->addTab(tblPatterns, QStringLiteral("P&atterns"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    btnSaveCsv = buttons->addButton(QStringLiteral("&Save as CSV"), QDialogButtonBox::ActionRole);
    btnPrint = buttons->addButton(QStringLiteral("&Print"), QDialogButtonBox::ActionRole);
    btnSaveCsv->setEnabled(false);
    btnPrint->setEnabled(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnSaveCsv, &QPushButton::clicked, this, [this] { btnSaveCsvClick(); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });

    auto* top = new QHBoxLayout;
    top->addWidget(viewLabel);
    top->addWidget(cbView, 1);
    top->addWidget(lessonLabel);
    top->addWidget(cbLesson, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(barReading);
    layout->addWidget(lblNotes);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);

    AskCsvPath = [this] {
        return QFileDialog::getSaveFileName(
                   this, QStringLiteral("Save as CSV"),
                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                   QStringLiteral("CSV files (*.csv)"))
            .toStdString();
    };
    AskPrinter = [this](QPrinter& printer) {
        return QPrintDialog(&printer, this).exec() == QDialog::Accepted;
    };

    connect(cbLesson, &QComboBox::currentIndexChanged, this, [this] { ShowLesson(); });
    connect(cbView, &QComboBox::activated, this, [this](int at) { ViewChosen(at); });
    StartReading(std::move(children), std::move(lessonWords));
}

TClassWindow::~TClassWindow()
{
    stop_ = true;
    if (reader_.joinable())
        reader_.join();
}

void TClassWindow::StartReading(std::filesystem::path children,
                                std::map<std::string, std::vector<std::string>> lessonWords)
{
    // What the thread reports reaches the window through its event queue; reports still queued
    // when the window goes are dropped with it.
    reader_ = std::thread([this, children = std::move(children), lessonWords = std::move(lessonWords)] {
        auto members = app::progress::LoadClass(
            children, lessonWords,
            [this](std::size_t done, std::size_t total) {
                QMetaObject::invokeMethod(
                    this,
                    [this, done, total] {
                        barReading->setRange(0, static_cast<int>(total));
                        barReading->setValue(static_cast<int>(done));
                    },
                    Qt::QueuedConnection);
            },
            stop_);
        QMetaObject::invokeMethod(
            this, [this, members = std::move(members)]() mutable { Read(std::move(members)); },
            Qt::QueuedConnection);
    });
}

void TClassWindow::Read(std::vector<app::progress::ClassMember> members)
{
    members_ = std::move(members);
    for (const auto& member : members_)
        cbView->addItem(Text(member.player));
    barReading->hide();
    read_ = true;
    btnSaveCsv->setEnabled(true);
    btnPrint->setEnabled(true);
    ShowLesson();
    emit classRead();
}

std::optional<std::string> TClassWindow::Lesson() const
{
    if (cbLesson->currentIndex() <= 0)
        return std::nullopt;
    return cbLesson->currentText().toStdString();
}

void TClassWindow::ShowLesson()
{
    if (!read_)
        return;
    report_ = app::progress::BuildClassReport(members_, Lesson());
    FillPlayers();
    FillWords();
    FillPatterns();
    FillNotes();
}

void TClassWindow::FillPlayers()
{
    tblPlayers->setSortingEnabled(false);
    tblPlayers->clearContents();
    tblPlayers->setRowCount(static_cast<int>(report_.players.size()));
    int row = 0;
    for (const PlayerRow& player : report_.players) {
        const std::vector<std::string> cells = PlayerCells(player);
        const double keys[] = {0,
                               static_cast<double>(player.tests),
                               0,
                               player.lastTestWords ? double(player.lastTestFirstRight) / player.lastTestWords
                                                    : -1,
                               KeyOf(player.share),
                               static_cast<double>(player.troubleWords)};
        for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
            QTableWidgetItem* item = column == 0 || column == 2 || column >= 6
                                         ? new QTableWidgetItem(Text(cells[column]))
                                         : new app::SortItem(Text(cells[column]), keys[column]);
            tblPlayers->setItem(row, column, item);
        }
        ++row;
    }
    tblPlayers->resizeColumnsToContents();
    // Those who need help first, as the report orders them, until a column is clicked.
    tblPlayers->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tblPlayers->setSortingEnabled(true);
}

void TClassWindow::FillWords()
{
    tblWords->setSortingEnabled(false);
    tblWords->clearContents();
    tblWords->setRowCount(static_cast<int>(report_.words.size()));
    int row = 0;
    for (const ClassWord& word : report_.words) {
        const std::vector<std::string> cells = WordCells(word);
        tblWords->setItem(row, 0, new QTableWidgetItem(Text(cells[0])));
        tblWords->setItem(row, 1, new QTableWidgetItem(Text(cells[1])));
        tblWords->setItem(row, 2, new app::SortItem(Text(cells[2]), word.playersMissing));
        tblWords->setItem(row, 3, new app::SortItem(Text(cells[3]), KeyOf(word.FirstShare())));
        ++row;
    }
    tblWords->resizeColumnsToContents();
    tblWords->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tblWords->setSortingEnabled(true);
}

void TClassWindow::FillPatterns()
{
    tblPatterns->clearContents();
    tblPatterns->setRowCount(static_cast<int>(report_.patterns.size()));
    int row = 0;
    for (const auto& pattern : report_.patterns) {
        tblPatterns->setItem(row, 0, new QTableWidgetItem(Text(app::progress::PatternName(pattern.kind))));
        tblPatterns->setItem(row, 1, new app::SortItem(QString::number(pattern.count), pattern.count));
        tblPatterns->setItem(row, 2, new QTableWidgetItem(Text(Joined(pattern.players))));
        ++row;
    }
    tblPatterns->resizeColumnsToContents();
}

void TClassWindow::FillNotes()
{
    QStringList notes;
    for (const PlayerRow& row : report_.players)
        if (!row.problem.empty())
            notes << Text(row.player + ": " + row.problem).toHtmlEscaped();
    if (members_.empty())
        notes << QStringLiteral("There are no players yet.");
    lblNotes->setText(notes.join(QStringLiteral("<br>")));
    lblNotes->setVisible(!notes.isEmpty());
}

void TClassWindow::ViewChosen(int index)
{
    if (index <= 0)
        return;
    chosenPlayer_ = cbView->itemText(index).toStdString();
    done(kShowPlayer);
}

void TClassWindow::SaveCsv(const std::string& chosen) const
{
    std::filesystem::path players(chosen);
    if (players.extension() != ".csv")
        players += ".csv";
    const std::filesystem::path words = players.parent_path() / (players.stem().string() + " words.csv");
    std::vector<std::vector<std::string>> playerRows{kPlayerHeaders}, wordRows{kWordHeaders};
    for (const PlayerRow& row : report_.players)
        playerRows.push_back(PlayerCells(row));
    for (const ClassWord& word : report_.words)
        wordRows.push_back(WordCells(word));
    WriteFileWhole(players.string(), app::progress::TableCsv(playerRows));
    WriteFileWhole(words.string(), app::progress::TableCsv(wordRows));
}

void TClassWindow::PrintReport(QPrinter& printer) const
{
    std::vector<std::vector<std::string>> playerRows, wordRows, patternRows;
    for (const PlayerRow& row : report_.players)
        playerRows.push_back(PlayerCells(row));
    for (const ClassWord& word : report_.words)
        wordRows.push_back(WordCells(word));
    for (const auto& pattern : report_.patterns)
        patternRows.push_back({app::progress::PatternName(pattern.kind), std::to_string(pattern.count),
                               Joined(pattern.players)});
    const QString html = QStringLiteral("<h2>Progress of the whole class</h2><p>%1</p>")
                             .arg(cbLesson->currentText().toHtmlEscaped()) +
                         HtmlTable(kPlayerHeaders, playerRows) +
                         QStringLiteral("<h3>Words the class misses most</h3>") +
                         HtmlTable(kWordHeaders, wordRows) + QStringLiteral("<h3>Kinds of mistake</h3>") +
                         HtmlTable({"Kind of mistake", "Count", "Players"}, patternRows);
    QTextDocument document;
    document.setHtml(html);
    document.print(&printer);
}

void TClassWindow::btnSaveCsvClick()
{
    try {
        const std::string path = AskCsvPath();
        if (path.empty())
            return;
        SaveCsv(path);
        platform::ShowInformation("Saved the class's results in " + path + ".");
    } catch (...) {
        app::ShowCurrentException();
    }
}

void TClassWindow::btnPrintClick()
{
    try {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(QStringLiteral("Progress of the whole class"));
        if (AskPrinter(printer))
            PrintReport(printer);
    } catch (...) {
        app::ShowCurrentException();
    }
}
