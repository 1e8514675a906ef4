#include "regengine/core/WMIQuery.h"

#include "regengine/core/EngineTrace.h"

#include "platform/wmi/Wmi.h"

namespace engine {

namespace {

std::shared_ptr<platform::Wmi>& processWmi()
{
    static std::shared_ptr<platform::Wmi> wmi;
    return wmi;
}

}  // namespace

void InitWmi()
{
    processWmi() = platform::systemWmi();
}

void InitWmi(std::shared_ptr<platform::Wmi> wmi)
{
    processWmi() = std::move(wmi);
}

void ShutdownWmi()
{
    processWmi().reset();
}

WMIQuery::WMIQuery()
{
    if (!processWmi())
        InitWmi();
    services_ = processWmi();
}

WMIQuery::~WMIQuery() = default;

QString WMIQuery::Query(const QString& queryText, const QString& propertyName) const
{
    if (!services_)
        return {};
    QString error;
    const auto objects = services_->query(queryText, {propertyName}, &error);
    if (!objects) {
        EngineTrace(QStringLiteral("WMIQuery: ") + error);
        return {};
    }
    if (objects->isEmpty()) {
        EngineTrace(QStringLiteral("No object from the WMI query %1").arg(queryText));
        return {};
    }
    const auto value = objects->first().value(propertyName);
    if (!value) {
        EngineTrace(QStringLiteral("No property %1 in the result of the WMI query %2").arg(propertyName, queryText));
        return {};
    }
    if (value->typeId() == QMetaType::QString)
        return value->toString();
    if (value->isNull() || !value->canConvert<QString>()) {
        EngineTrace(QStringLiteral("WMI property %1 has no text value").arg(propertyName));
        return {};
    }
    return value->toString();
}

}  // namespace engine
