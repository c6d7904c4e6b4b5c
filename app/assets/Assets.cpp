#include "app/Assets.h"

#include "EmbeddedAssets.h"

#include <stdexcept>
#include <string>

AssetData ListIcon(int index) {
  static const AssetData icons[kListIconCount] = {
      {embedded::kList0, embedded::kList0Size}, {embedded::kList1, embedded::kList1Size},
      {embedded::kList2, embedded::kList2Size}, {embedded::kList3, embedded::kList3Size},
      {embedded::kList4, embedded::kList4Size}, {embedded::kList5, embedded::kList5Size},
      {embedded::kList6, embedded::kList6Size}};
  if (index < 0 || index >= kListIconCount) throw std::out_of_range("no list icon " + std::to_string(index));
  return icons[index];
}

AssetData WindowIcon(int size) {
  switch (size) {
    case 16: return {embedded::kIcon16, embedded::kIcon16Size};
    case 32: return {embedded::kIcon32, embedded::kIcon32Size};
    case 48: return {embedded::kIcon48, embedded::kIcon48Size};
    default: throw std::out_of_range("no window icon of " + std::to_string(size) + " pixels");
  }
}

AssetData Illustration() { return {embedded::kIllustration, embedded::kIllustrationSize}; }

AssetData LegalNotice() { return {embedded::kNotice, embedded::kNoticeSize}; }
