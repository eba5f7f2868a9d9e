#include "attlink/AttLinkComponent.h"

#include "attlink/AttLink.h"

std::unique_ptr<DeviceLink> createAttLink(const QString &appFolder) { return std::make_unique<AttLink>(appFolder); }
