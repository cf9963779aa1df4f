#include "app/plxactionhistory.h"

#include "app/plxaction.h"
#include "numerics/exception.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <string>
#include <vector>

namespace {

// Adds its mark to a shared journal when applied, removes it when reverted
// (the last mark of that name), and notes each call.
class Marking : public PLXAction {
public:
    Marking(std::string mark, std::vector<std::string>* journal, std::vector<std::string>* calls)
        : m_mark(std::move(mark)), m_journal(journal), m_calls(calls)
    {
    }
    void apply() override
    {
        m_journal->push_back(m_mark);
        m_calls->push_back("apply " + m_mark);
        setReverted(false);
    }
    void revert() override
    {
        for (auto it = m_journal->rbegin(); it != m_journal->rend(); ++it)
            if (*it == m_mark) {
                m_journal->erase(std::next(it).base());
                break;
            }
        m_calls->push_back("revert " + m_mark);
        setReverted(true);
    }
    QString description(bool) const override { return QString::fromStdString("mark " + m_mark); }

private:
    std::string m_mark;
    std::vector<std::string>* m_journal;
    std::vector<std::string>* m_calls;
};

class History : public ::testing::Test {
protected:
    History() : changed(&history, &PLXActionHistory::changed), undo(&history, &PLXActionHistory::undoEnabled),
                redo(&history, &PLXActionHistory::redoEnabled)
    {
    }
    // One step of the marks given, each applied as it is pushed.
    void step(std::initializer_list<const char*> marks)
    {
        history.openStep();
        for (const char* m : marks)
            history.push(new Marking(m, &journal, &calls), true);
        history.closeStep();
    }
    static std::vector<bool> flags(const QSignalSpy& spy)
    {
        std::vector<bool> list;
        for (const QList<QVariant>& args : spy)
            list.push_back(args.at(0).toBool());
        return list;
    }
    void clearSpies()
    {
        changed.clear();
        undo.clear();
        redo.clear();
    }

    PLXActionHistory history;
    std::vector<std::string> journal;
    std::vector<std::string> calls;
    QSignalSpy changed;
    QSignalSpy undo;
    QSignalSpy redo;
};

} // namespace

TEST_F(History, StepsUndoAndRedoWithTheirSignals)
{
    EXPECT_EQ(history.getUndoDescription(), "(Nothing to undo)");
    EXPECT_EQ(history.getRedoDescription(), "(Nothing to redo)");

    // An empty step leaves no trace.
    history.openStep();
    history.closeStep();
    EXPECT_FALSE(history.isUndoable());
    EXPECT_EQ(changed.count() + undo.count() + redo.count(), 0);

    step({"a"});
    step({"b", "c"});
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(flags(undo), (std::vector<bool>{true, true}));
    EXPECT_EQ(history.getUndoDescription(), "mark b");

    // A step of two actions is undone first pushed first.
    clearSpies();
    calls.clear();
    history.undo();
    EXPECT_EQ(calls, (std::vector<std::string>{"revert b", "revert c"}));
    EXPECT_EQ(journal, std::vector<std::string>{"a"});
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(flags(redo), std::vector<bool>{true});
    EXPECT_EQ(flags(undo), std::vector<bool>{true});
    EXPECT_EQ(history.getRedoDescription(), "mark b");

    clearSpies();
    history.undo();
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(flags(undo), std::vector<bool>{false});
    // Nothing left: undo does nothing and says nothing.
    clearSpies();
    history.undo();
    EXPECT_EQ(changed.count() + undo.count() + redo.count(), 0);

    history.redo();
    EXPECT_EQ(journal, std::vector<std::string>{"a"});
    EXPECT_EQ(flags(undo), std::vector<bool>{true});
    EXPECT_EQ(flags(redo), std::vector<bool>{true});

    // Pushing discards what could have been redone.
    step({"d"});
    EXPECT_FALSE(history.isRedoable());
    EXPECT_EQ(history.getRedoDescription(), "(Nothing to redo)");
    clearSpies();
    history.redo();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"a", "d"}));
}

TEST_F(History, NoLengthLimitAndMisuse)
{
    // Every step of a long session can be undone and redone.
    for (int i = 0; i < 500; ++i)
        step({"x"});
    EXPECT_EQ(history.getNumUndoSteps(), 500);
    while (history.isUndoable())
        history.undo();
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(history.getNumRedoSteps(), 500);
    while (history.isRedoable())
        history.redo();
    EXPECT_EQ(journal.size(), 500u);

    auto expectUsage = [](auto f, const char* what) {
        try {
            f();
            ADD_FAILURE() << "no exception for: " << what;
        } catch (const UsageError& e) {
            EXPECT_EQ(e.getWhat(), what);
        }
    };
    expectUsage([&] { history.closeStep(); }, "No open step to close");
    expectUsage([&] { history.push(new Marking("y", &journal, &calls)); }, "No step was open prior to action insertion");
    history.openStep();
    expectUsage([&] { history.openStep(); }, "A step is already open");
    // While a step is open, undo waits for it.
    history.undo();
    EXPECT_EQ(journal.size(), 500u);
    // An action pushed unapplied (made after the change) is only recorded.
    history.push(new Marking("z", &journal, &calls));
    history.closeStep();
    EXPECT_EQ(journal.size(), 500u);
    EXPECT_EQ(history.getUndoDescription(), "mark z");

    clearSpies();
    history.clear();
    EXPECT_FALSE(history.isUndoable());
    EXPECT_FALSE(history.isRedoable());
    EXPECT_EQ(flags(undo), std::vector<bool>{false});
    EXPECT_EQ(flags(redo), std::vector<bool>{false});
    EXPECT_EQ(PLXActionHistory().getUndoDescription(), "(Nothing to undo)");
}
