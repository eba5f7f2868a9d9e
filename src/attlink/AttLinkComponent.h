#pragma once

#include "link/DeviceLink.h"

#include <QString>
#include <memory>

// Creates our device link. appFolder holds its own settings file AttLink.ini (ports, timeouts): the
// application folder of a portable copy, the user's configuration folder of an installed program.
std::unique_ptr<DeviceLink> createAttLink(const QString &appFolder);
