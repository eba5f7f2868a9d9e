#pragma once

#include "link/DeviceLink.h"

#include <QString>
#include <memory>

// Creates our device link. appFolder holds its own settings file AttLink.ini (ports, timeouts).
std::unique_ptr<DeviceLink> createAttLink(const QString &appFolder);
