#pragma once
// PLXException: a program exception that can cross from a worker thread into
// the GUI thread. A computation run through QtConcurrent throws it; the future
// captures it (clone) and rethrows it (raise) where the result is awaited.

#include "numerics/exception.h"

#include <QException>

class PLXException : public QException, public Exception {
public:
    PLXException() = default;
    // Copies the where and what texts and the call list.
    explicit PLXException(const Exception& e);

    // The what text.
    const char* what() const noexcept override;
    void raise() const override;
    PLXException* clone() const override;
};
