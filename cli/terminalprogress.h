#pragma once
// TerminalProgress: shows the progress of long computations as a bar on one
// line of a terminal ("Reading stack... [#########           ]  45%"),
// redrawn in place when the percentage changes and erased when the
// computation ends. A disabled monitor writes nothing: the tool enables it
// only when the standard error is a terminal, so that logs and pipes stay
// clean.

#include "numerics/progressmonitor.h"

#include <iosfwd>
#include <string>

class TerminalProgress : public ProgressMonitor {
public:
    TerminalProgress(std::ostream& stream, bool enabled) : m_stream(stream), m_enabled(enabled) {}
    ~TerminalProgress() override;

    bool isEnabled() const { return m_enabled; }
    // The text shown before the bar until a subject announces its own title.
    void setTitle(const std::string& title) { m_title = title; }
    // Erases the bar, if one is shown.
    void clear();

protected:
    void subjectStarted(const std::string& text) override;
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;
    void subjectProgressed(const std::string& text) override;
    void subjectProgressed(unsigned int i, unsigned int n) override;

private:
    void draw(int percent);

    std::ostream& m_stream;
    bool m_enabled;
    std::string m_title;
    int m_percent = -1;
    std::size_t m_width = 0;
};
