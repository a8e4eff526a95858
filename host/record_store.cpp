#include "host/record_store.h"

namespace stimloom {

RecordStore& processRecordStore() {
  static RecordStore store;
  return store;
}

}  // namespace stimloom
