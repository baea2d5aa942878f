#pragma once
// What a connected device lacks, by its option bits and product: whole
// categories, single params and report words the editor leaves out so that
// nothing is offered (or sent) that the device would refuse. Offline
// editing keeps everything but the Bluetooth category.
#include "engine/document.h"

// Always true for the Bluetooth category; else, online only, whether the
// device lacks the category named name.
bool RemovesCategory(const QString &name, const DeviceIdentity &identity, bool offline);
// Online only: whether the device lacks the param named name.
bool RemovesParam(const QString &name, const DeviceIdentity &identity, bool offline);
// Online only: removes from the param's option lists the report words of
// features the device lacks.
void PruneReportOptions(IXMLparamType param, const DeviceIdentity &identity, bool offline);

// All three over the document's first device, as the editor does when it
// builds its pages from the document.
void PruneForDevice(Document &document, bool offline);
