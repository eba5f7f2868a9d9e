#include "link/DeviceLinkFactory.h"

#include "link/LinkError.h"

void DeviceLinkFactory::registerComponent(const QString &progId, Creator creator)
{
    creators_.insert(progId.toLower(), std::move(creator));
}

std::unique_ptr<DeviceLink> DeviceLinkFactory::create(const QString &progId) const
{
    const auto it = creators_.constFind(progId.toLower());
    const QString cannot = QStringLiteral("部件不能创建对象：") + progId;
    if (it == creators_.constEnd()) throw LinkError(LinkError::NotCreatable, cannot);
    std::unique_ptr<DeviceLink> link;
    try {
        link = (*it)();
    } catch (const LinkError &e) {
        throw LinkError(LinkError::NotCreatable, cannot + QStringLiteral(" (") + e.description + QStringLiteral(")"));
    } catch (const std::exception &e) {
        throw LinkError(LinkError::NotCreatable,
                        cannot + QStringLiteral(" (") + QString::fromUtf8(e.what()) + QStringLiteral(")"));
    }
    if (!link) throw LinkError(LinkError::NotCreatable, cannot);
    return link;
}
