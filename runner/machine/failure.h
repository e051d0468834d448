#pragma once
// Why an operation of a running program failed, and the words its error report starts with.

namespace tessivor {

/// Why an operation failed.
enum class Failure { None, SubscriptOutOfRange, TypeMismatch, Overflow, OutOfStringSpace };

/// The description an error report starts with ("Type mismatch").
const char* failureDescription(Failure failure);

/// The failure's name in the events format ("type mismatch"); "" for None.
const char* failureName(Failure failure);

} // namespace tessivor
