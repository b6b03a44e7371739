#pragma once
// The marker lines that frame a package and each of its entries.

namespace brx {

inline constexpr char kBegin[] = "###Begin_BRX###";
inline constexpr char kInstall[] = "###Install###";
inline constexpr char kInstallEnd[] = "###/Install###";
inline constexpr char kTitle[] = "###Title###";
inline constexpr char kTitleEnd[] = "###/Title###";
inline constexpr char kEnd[] = "###End_BRX###";

} // namespace brx
