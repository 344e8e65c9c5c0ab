#include "framework/Object.h"

#include <cstring>

// Constant-initialised, so it is null before any class registers itself,
// whatever the order of static initialisation across files.
const CRuntimeClass* CRuntimeClass::s_pFirstClass = nullptr;

CRuntimeClass::CRuntimeClass(const char* className, Factory factory, const CRuntimeClass* baseClass)
    : m_lpszClassName(className), m_pfnCreateObject(factory), m_pBaseClass(baseClass), m_pNextClass(s_pFirstClass) {
    s_pFirstClass = this;
}

CObject* CRuntimeClass::CreateObject() const {
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* baseClass) const {
    for (const CRuntimeClass* runtimeClass = this; runtimeClass; runtimeClass = runtimeClass->m_pBaseClass) {
        if (runtimeClass == baseClass) return true;
    }
    return false;
}

const CRuntimeClass* CRuntimeClass::FromName(const char* className) {
    if (!className) return nullptr;
    for (const CRuntimeClass* runtimeClass = s_pFirstClass; runtimeClass; runtimeClass = runtimeClass->m_pNextClass) {
        if (std::strcmp(runtimeClass->m_lpszClassName, className) == 0) return runtimeClass;
    }
    return nullptr;
}

const CRuntimeClass CObject::classCObject{"CObject", nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const {
    return &classCObject;
}

bool CObject::IsKindOf(const CRuntimeClass* runtimeClass) const {
    return GetRuntimeClass()->IsDerivedFrom(runtimeClass);
}
