#pragma once

#include "regengine/ui/pages/QmRegPage.h"

#include <QString>

#include <array>
#include <functional>

namespace engine {

// The page on which the user picks the registration method (METHODPAGE): the value of its
// "-RMT" control becomes a method code, and the web method opens the registration site.
class MethodPage : public QmRegPage {
public:
    // Replaces the field tags of a site address (URL-encoded), as the registration window
    // does; without one the address is used as written.
    using TagSubstitution = std::function<QString(const QString&)>;

    static constexpr int kMaxSites = 5;
    static constexpr int kSiteLimit = 512;
    static constexpr int kWebMethod = 4;

    MethodPage(QmStrStream& script, QmWind* parent, const Background& background = {});

    // WEBREGSITE: the next site address, cut to 512 characters; past five, ignored.
    virtual void AddWebSite(const QString& text);
    // The method index; its code (";WEB" and so on) into `code` when given.
    virtual int GetMethodCode(QString* code) const;
    // With `apply`, the "-RMT" control's value (0..5) chooses the method.
    virtual void UpdateMethod(bool apply);

    bool Show(bool show) override;
    int OnNotify(QmWind* source, int code, int value) override;

    void SetTagSubstitution(TagSubstitution substitution) { substitute_ = std::move(substitution); }
    int GetSiteCount() const { return siteCount_; }
    const QString& GetSite(int index) const { return sites_[size_t(index)]; }

    // The method code of an index, empty outside 0..5.
    static QString MethodCodeOf(int index);

private:
    void OpenSite();

    std::array<QString, kMaxSites> sites_;
    int siteCount_ = 0;
    int selectedSite_ = 0;
    int methodIndex_ = kWebMethod;
    TagSubstitution substitute_;
};

}  // namespace engine
