#pragma once

#include "link/DeviceLink.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

// Creates device links by ProgID, as the component runtime would. The program registers the
// components it ships; an unknown ProgID, or a component whose creator throws, is "not creatable".
class DeviceLinkFactory {
public:
    using Creator = std::function<std::unique_ptr<DeviceLink>()>;

    static inline const QString ProgId = QStringLiteral("ATTLINK_v70.Connect_v70");

    void registerComponent(const QString &progId, Creator creator);

    // Throws LinkError(429) when the component cannot be created.
    std::unique_ptr<DeviceLink> create(const QString &progId) const;

private:
    QHash<QString, Creator> creators_;
};
