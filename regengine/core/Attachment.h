#pragma once

#include <QString>

#include <memory>

namespace engine {

class Attachable;
class QmStrStream;

// A named action that the page script declares ("ATTACHMENT name type parameters") and hooks
// to a window ("ATTACH"); it runs when an event in its hook's mask is raised there. Types are
// registered by name at start-up as prototypes; the script makes named instances of them,
// which live until the process ends.
class Attachment {
public:
    Attachment() = default;
    explicit Attachment(const QString& name) : name_(name) {}
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    virtual ~Attachment();

    const QString& GetName() const { return name_; }
    void SetName(const QString& name) { name_ = name; }

    // The events this attachment accepts; all of them unless a type says otherwise.
    virtual quint32 GetEventMask() const { return 0xFFFFFFFFu; }
    // The action. True lets the event go on to later hooks, false stops it.
    virtual bool ExecuteSelf(Attachable* attachable, quint32 event) = 0;
    // A new attachment of the same type carrying `name`.
    virtual std::unique_ptr<Attachment> CreateInstance(const QString& name) const = 0;
    // The type's own parameters, from the rest of the script line.
    virtual void ReadParameters(QmStrStream& stream) = 0;

    // False when the event is not in GetEventMask, else what ExecuteSelf gives.
    bool Receive(Attachable* attachable, quint32 event);

    // Enters `prototype` (not owned) under the lower-cased type name, replacing an earlier one.
    static void RegisterType(const QString& typeName, Attachment* prototype);
    // Takes the prototype out again, when it is still the one registered under the name.
    static void UnregisterType(const QString& typeName, const Attachment* prototype);
    // CreateInstance(name), then ReadParameters(stream) on what it gives.
    static std::unique_ptr<Attachment> Instantiate(const Attachment& prototype, const QString& name,
                                                   QmStrStream& stream);
    // The ATTACHMENT line after its keyword: name and type as tokens, then the type's own
    // parameters. An unknown type creates nothing (null) and leaves the rest of the line.
    // A new instance replaces an earlier one of the same name in the lookup, while the
    // earlier one lives on for the hooks that already hold it.
    static Attachment* CreateFromScript(QmStrStream& stream);
    // The instance of that name, matched without regard to case, or null.
    static Attachment* Find(const QString& name);

private:
    QString name_;
};

// The create-by-name half every attachment type shares: a new instance of Derived, made as
// a prototype is, carrying the name. A type derives from AttachmentType<itself> (below
// another type: AttachmentType<itself, that type>) and writes only its action and its
// parameters.
template <typename Derived, typename Base = Attachment>
class AttachmentType : public Base {
public:
    using Base::Base;

    std::unique_ptr<Attachment> CreateInstance(const QString& name) const override
    {
        auto made = std::make_unique<Derived>();
        made->SetName(name);
        return made;
    }
};

// Registers a prototype of T under a type name for as long as it lives; the launcher keeps
// one of these per attachment type as a global built before the application starts.
template <typename T>
class AttachmentTypeRegistrar {
public:
    explicit AttachmentTypeRegistrar(const QString& typeName) : typeName_(typeName)
    {
        Attachment::RegisterType(typeName_, &prototype_);
    }
    ~AttachmentTypeRegistrar() { Attachment::UnregisterType(typeName_, &prototype_); }
    AttachmentTypeRegistrar(const AttachmentTypeRegistrar&) = delete;
    AttachmentTypeRegistrar& operator=(const AttachmentTypeRegistrar&) = delete;

private:
    QString typeName_;
    T prototype_;
};

}  // namespace engine
