#pragma once
#include "engine/document.h"

#include <QString>
#include <QStringList>

// What a workflow may have to ask before it goes on. Each question has an
// id; the windows put it to the user with their own texts, the command line
// answers from its options. Nobody recognises a question by its wording.
enum class QuestionId {
    ProtocolMismatch, // the file was made for another protocol version
    HeatingMismatch,  // ... for a sensor with other heating
    AxisMismatch,     // ... for another axis configuration
    ConfirmWrite,     // write the settings to the sensor?
};

// The values a mismatch question names.
struct QuestionDetails {
    QString found;    // in the file
    QString expected; // on the sensor
};

class IQuestions
{
public:
    virtual ~IQuestions() = default;
    // True to go on.
    virtual bool Ask(QuestionId id, const QuestionDetails &details) = 0;
};

// Fixed answers, for work nobody watches: mismatches as told, writes yes.
class FixedAnswers : public IQuestions
{
public:
    explicit FixedAnswers(bool acceptMismatch) : acceptMismatch(acceptMismatch) {}
    bool Ask(QuestionId id, const QuestionDetails &details) override;

private:
    bool acceptMismatch;
};

// The words a question is put in, as the program's boxes show it: every
// step is a Yes/No box under the caption, and all must be answered Yes.
struct QuestionText {
    QString caption;
    QStringList steps;
};
QuestionText TextOf(QuestionId id, const QuestionDetails &details);

// The question a mismatch of a file with the sensor asks.
QuestionId MismatchQuestion(Compatibility kind);

// A message as the program's box shows it.
struct MessageText {
    QString caption;
    QString text;
};
// Why a file made for another product is refused.
MessageText ProductMismatchMessage(const CompatibilityIssue &issue);
