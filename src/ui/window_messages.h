#pragma once

// The texts the windows show in message boxes, exactly as the user sees them (UTF-8).

// The transparent-buttons option was switched on; it takes effect at the next start.
inline constexpr char kRestartToSeeResult[] = "重新啟動 tessarel 觀看結果";

// The file dialog's path text is too short to be a file or a folder that may hold the inputs.
inline constexpr char kInvalidFileName[] = "檔案名稱無效";

// The compression settings could not be written to the settings file, whose path is %1; the
// dialog stays open.
inline constexpr char kCannotStoreCompressionSettings[] = "無法儲存壓縮設定, 請確認可以寫入設定檔 %1";
