#include "decode/method.h"

#include "storage/storage.h"

ALMethod::ALMethod(std::int32_t methodType, const char* methodName)
    : typeCode(methodType), name(methodName) {}

ALMethod::~ALMethod() = default;

int ALMethod::WriteSettings(ALStorage& target) { return WriteSettingsBlock(target); }

int ALMethod::ReadSettings(ALStorage& source) { return ReadSettingsBlock(source); }
