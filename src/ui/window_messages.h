#pragma once

// The texts the windows show in message boxes, exactly as the user sees them (UTF-8).

// The transparent-buttons option was switched on; it takes effect at the next start.
inline constexpr char kRestartToSeeResult[] = "重新啟動 tessarel 觀看結果";

// The file dialog's path text is too short to be a file or a folder that may hold the inputs.
inline constexpr char kInvalidFileName[] = "檔案名稱無效";
