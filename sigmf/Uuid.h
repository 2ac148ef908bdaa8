#pragma once
// Random (version 4) UUIDs for new annotations.

#include <string>

// "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx" in lower-case hexadecimal.
std::string randomUuid();
