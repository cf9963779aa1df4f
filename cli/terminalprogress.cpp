#include "cli/terminalprogress.h"

#include <algorithm>
#include <ostream>

namespace {

constexpr int barWidth = 30;
// Titles longer than this are cut, so that the bar fits an 80-column line.
constexpr std::size_t maxTitle = 40;

} // namespace

TerminalProgress::~TerminalProgress()
{
    clear();
}

void TerminalProgress::clear()
{
    if (!m_enabled || m_width == 0)
        return;
    m_stream << '\r' << std::string(m_width, ' ') << '\r' << std::flush;
    m_width = 0;
    m_percent = -1;
}

void TerminalProgress::subjectStarted(const std::string& text)
{
    if (!text.empty())
        m_title = text;
    m_percent = -1;
    draw(0);
}

void TerminalProgress::subjectFinished(const std::string&)
{
    clear();
}

void TerminalProgress::subjectCanceled(const std::string&)
{
    clear();
}

void TerminalProgress::subjectProgressed(const std::string& text)
{
    // Readers announce "Reading <file>..." as a status line and an empty one
    // when they are done.
    if (text.empty() || text == " ") {
        clear();
        return;
    }
    m_title = text;
    const int percent = std::max(m_percent, 0);
    m_percent = -1;
    draw(percent);
}

void TerminalProgress::subjectProgressed(unsigned int i, unsigned int n)
{
    if (n == 0)
        return;
    draw(static_cast<int>(std::min<unsigned long long>(100ULL * i / n, 100ULL)));
}

void TerminalProgress::draw(int percent)
{
    if (!m_enabled || percent == m_percent)
        return;
    m_percent = percent;
    std::string title = m_title;
    if (title.size() > maxTitle)
        title = "..." + title.substr(title.size() - (maxTitle - 3));
    const int filled = percent * barWidth / 100;
    std::string line = title + (title.empty() ? "" : " ") + "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(barWidth - filled), ' ') + "] ";
    const std::string number = std::to_string(percent);
    line += std::string(3 - std::min<std::size_t>(3, number.size()), ' ') + number + "%";
    const std::size_t width = line.size();
    if (width < m_width)
        line += std::string(m_width - width, ' ');
    m_width = std::max(m_width, width);
    m_stream << '\r' << line << std::flush;
}
