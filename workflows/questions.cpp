#include "workflows/questions.h"

bool FixedAnswers::Ask(QuestionId id, const QuestionDetails &)
{
    switch (id) {
    case QuestionId::ProtocolMismatch:
    case QuestionId::HeatingMismatch:
    case QuestionId::AxisMismatch:
        return acceptMismatch;
    case QuestionId::ConfirmWrite:
        return true;
    }
    return false;
}
