#pragma once
// DialogScript: answers the program's dialogs in a test, in the order they
// are asked, and records every request.
//
//     DialogScript script;
//     script.button("Save").value(12).cancel();
//     mediator.closeStack();            // asks three questions, none blocks
//     EXPECT_EQ(script.requests()[0].title, "Closing stack...");
//
// A request that finds no answer queued is recorded as unexpected and
// answered "closed without a choice" (messages) or Cancel (everything else).

#include "gl/dialogs.h"
#include "support/qtprinters.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <vector>

class DialogScript {
public:
    DialogScript()
    {
        m_previous = Dialogs::setResponder([this](const Dialogs::Request& r) { return answer(r); });
    }
    ~DialogScript() { Dialogs::setResponder(m_previous); }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // Answers the next message box with the button of that text.
    DialogScript& button(const QString& text)
    {
        m_answers.push_back([text](const Dialogs::Request& r) {
            Dialogs::Answer a;
            a.button = static_cast<int>(r.buttons.indexOf(text));
            a.accepted = a.button >= 0;
            return a;
        });
        return *this;
    }
    // Accepts the next value dialog (integer, text, file names, colour...) with v.
    DialogScript& value(const QVariant& v)
    {
        m_answers.push_back([v](const Dialogs::Request&) {
            Dialogs::Answer a;
            a.accepted = true;
            a.value = v;
            return a;
        });
        return *this;
    }
    // Accepts the next value dialog with the value it proposes.
    DialogScript& accept()
    {
        m_answers.push_back([](const Dialogs::Request& r) {
            Dialogs::Answer a;
            a.accepted = true;
            a.value = r.value;
            return a;
        });
        return *this;
    }
    // Cancels the next dialog (a message box: closed without a choice).
    DialogScript& cancel()
    {
        m_answers.push_back([](const Dialogs::Request&) { return Dialogs::Answer(); });
        return *this;
    }
    // Runs f on the next modal dialog; its result says whether to accept the
    // dialog (unless f ended it itself).
    DialogScript& modal(std::function<bool(QDialog&)> f)
    {
        m_answers.push_back([f](const Dialogs::Request& r) {
            Dialogs::Answer a;
            a.accepted = r.dialog ? f(*r.dialog) : false;
            return a;
        });
        return *this;
    }
    // Any answer computed from the request.
    DialogScript& then(Dialogs::Responder f)
    {
        m_answers.push_back(std::move(f));
        return *this;
    }

    const std::vector<Dialogs::Request>& requests() const { return m_requests; }
    // Titles and texts of the requests, in order.
    QStringList titles() const
    {
        QStringList list;
        for (const Dialogs::Request& r : m_requests)
            list << r.title;
        return list;
    }
    int pending() const { return static_cast<int>(m_answers.size()); }
    int unexpected() const { return m_unexpected; }
    void clear()
    {
        m_answers.clear();
        m_requests.clear();
        m_unexpected = 0;
    }

private:
    Dialogs::Answer answer(const Dialogs::Request& request)
    {
        m_requests.push_back(request);
        if (m_answers.empty()) {
            ++m_unexpected;
            return {};
        }
        Dialogs::Responder next = std::move(m_answers.front());
        m_answers.pop_front();
        return next(request);
    }

    Dialogs::Responder m_previous;
    std::deque<Dialogs::Responder> m_answers;
    std::vector<Dialogs::Request> m_requests;
    int m_unexpected = 0;
};
