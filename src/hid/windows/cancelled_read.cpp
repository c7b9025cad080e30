#include "hid/windows/cancelled_read.h"

namespace trivexa::hid {

bool EndCancelledRead(HANDLE file, OVERLAPPED& record, DWORD limitMs) {
  if (HasOverlappedIoCompleted(&record)) return true;
  // Cancelled by record, so it works whatever thread started the read.
  CancelIoEx(file, &record);
  // The record's event is signalled when the read ends, cancelled or not;
  // a record without one cannot be waited for here.
  if (record.hEvent != nullptr) WaitForSingleObject(record.hEvent, limitMs);
  return HasOverlappedIoCompleted(&record);
}

}  // namespace trivexa::hid
