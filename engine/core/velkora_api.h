// Marks the classes that libvelkora.so exports by name; everything else in the library is hidden.
#pragma once

#define VELKORA_API __attribute__((visibility("default")))
