// The printed progress report: the player's name and the date, the summary, the chart,
// the trouble words and the patterns, on one or two pages.

#include "app/TProgressWindow.h"

#include "app/progress/ProgressCsv.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QPixmap>
#include <QPrinter>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

namespace {

// Enough trouble words to act on, few enough to keep the report to two pages.
constexpr std::size_t kTroubleWordsPrinted = 20;

QString Escaped(const std::string& utf8)
{
    return QString::fromStdString(utf8).toHtmlEscaped();
}

QString Cell(const QString& html)
{
    return QStringLiteral("<td>") + html + QStringLiteral("</td>");
}

QString TroubleWordsTable(const app::progress::ProgressReport& report, bool withLesson,
                          const QString& shareTitle)
{
    QString rows;
    std::size_t printed = 0;
    for (const auto& word : report.words) {
        if (word.trouble == 0 || printed == kTroubleWordsPrinted)
            continue;
        ++printed;
        const auto share = word.ShareRight();
        rows += QStringLiteral("<tr>") + (withLesson ? Cell(Escaped(word.lesson)) : QString()) +
                Cell(QStringLiteral("<b>%1</b>").arg(Escaped(word.word))) +
                Cell(QString::number(word.tries)) + Cell(QString::number(word.right)) +
                Cell(share ? QString::number(qRound(*share * 100)) + QLatin1Char('%') : QString()) +
                Cell(Escaped(app::progress::ResultMarks(word.lastFive))) + QStringLiteral("</tr>");
    }
    if (rows.isEmpty())
        return QStringLiteral("<p>No trouble words: every word was right in its last answers.</p>");
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>") +
           (withLesson ? QStringLiteral("<th>Lesson</th>") : QString()) +
           QStringLiteral("<th>Word</th><th>Tries</th><th>Right</th><th>%1</th><th>Last five</th></tr>")
               .arg(shareTitle.toHtmlEscaped()) +
           rows + QStringLiteral("</table>");
}

QString PatternsTable(const app::progress::ProgressReport& report)
{
    if (report.patterns.empty())
        return QStringLiteral("<p>No misspellings in the history.</p>");
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
                                  "<tr><th>Kind of mistake</th><th>Answers</th><th>Examples</th></tr>");
    for (const auto& pattern : report.patterns) {
        html += QStringLiteral("<tr>") + Cell(Escaped(app::progress::PatternName(pattern.kind))) +
                Cell(QString::number(pattern.answers)) +
                Cell(TProgressWindow::ExamplesText(pattern).toHtmlEscaped()) + QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

} // namespace

void TProgressWindow::PrintReport(QPrinter& printer) const
{
    // The chart drawn at a size of its own, so the print does not depend on the window's.
    QChartView chart(MakeChart());
    chart.setRenderHint(QPainter::Antialiasing);
    chart.resize(960, 400);
    const QPixmap picture = chart.grab();

    const QString lesson = Lesson() ? QString::fromStdString(*Lesson()) : cbLesson->itemText(0);
    QString html = QStringLiteral("<h2>Progress of %1</h2><p>Lesson: %2 \u00b7 Printed %3</p>")
                       .arg(Escaped(source_.player), lesson.toHtmlEscaped(),
                            QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    html += QStringLiteral("<p>") +
            lblSummary->text().toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
            QStringLiteral("</p>");
    if (!lblNotes->text().isEmpty())
        html += QStringLiteral("<p><i>") +
                lblNotes->text().toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
                QStringLiteral("</i></p>");
    html += QStringLiteral("<p><img src=\"chart.png\" width=\"620\"></p>");
    html +=
        QStringLiteral("<h3>Trouble words</h3>") + TroubleWordsTable(report_, !Lesson(), ShareRightTitle());
    html += QStringLiteral("<h3>Kinds of mistake</h3>") + PatternsTable(report_);

    QTextDocument document;
    document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chart.png")), picture);
    QFont font = document.defaultFont();
    font.setPointSize(10);
    document.setDefaultFont(font);
    document.setHtml(html);
    document.print(&printer);
}
