// CObject and CRuntimeClass: run-time class information and creation of an
// object from its class name.
#pragma once

class CObject;

// One per class. Every instance links itself into a process-wide list during
// static initialisation, so FromName finds any class whose definition is
// linked in.
class CRuntimeClass {
public:
    using Factory = CObject* (*)();

    // factory is null for classes that can't be created by name.
    CRuntimeClass(const char* className, Factory factory, const CRuntimeClass* baseClass);
    CRuntimeClass(const CRuntimeClass&) = delete;
    CRuntimeClass& operator=(const CRuntimeClass&) = delete;

    // A new object owned by the caller, or null when the class has no factory.
    CObject* CreateObject() const;
    bool IsDerivedFrom(const CRuntimeClass* baseClass) const;

    // Names are compared exactly; null when no linked class has that name.
    static const CRuntimeClass* FromName(const char* className);

    const char* const m_lpszClassName;
    const Factory m_pfnCreateObject;
    const CRuntimeClass* const m_pBaseClass;

private:
    const CRuntimeClass* m_pNextClass;
    static const CRuntimeClass* s_pFirstClass;
};

class CObject {
public:
    virtual ~CObject() = default;

    virtual const CRuntimeClass* GetRuntimeClass() const;
    bool IsKindOf(const CRuntimeClass* runtimeClass) const;

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
