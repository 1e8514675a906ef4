#pragma once

#include <QString>

#include <memory>

namespace platform {
class Wmi;
}

namespace engine {

// The process's WMI, shared by the queries: the machine's own once InitWmi has run.

// Takes the machine's WMI, releasing one held before.
void InitWmi();
// Takes `wmi` in place of the machine's (tests answer from fixtures this way).
void InitWmi(std::shared_ptr<platform::Wmi> wmi);
// Releases the process's WMI; a query made before keeps the one it holds. The registration
// window calls this when it is destroyed.
void ShutdownWmi();

// One connection for one-property queries, as the page script's WMIQUERY lines make them.
class WMIQuery {
public:
    // Connects to the process's WMI, taking the machine's first when there is none.
    WMIQuery();
    virtual ~WMIQuery();

    bool IsReady() const { return services_ != nullptr; }
    // The named property of the first object the query returns, as text: a text as it is,
    // a number in decimal. Empty when the object is not ready, the query fails or returns
    // nothing, or the property is missing or has no value.
    QString Query(const QString& queryText, const QString& propertyName) const;

private:
    std::shared_ptr<platform::Wmi> services_;
};

}  // namespace engine
