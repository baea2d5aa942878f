#pragma once
// The words a failed connection is told in, the same in the window's boxes
// and on the command line.
#include "workflows/questions.h"
#include "workflows/sensorWork.h"

#include <QList>

// The messages, in the order they are shown, for a sensor that was found
// but could not be brought online. A scan that found nothing has none: the
// scan's own view tells of the ports.
QList<MessageText> ConnectFailureMessages(const ConnectResult &result);
