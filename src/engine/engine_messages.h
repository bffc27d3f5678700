#pragma once

// The texts the conversion engine shows, exactly as the user sees them (narrow text is UTF-8).

// ---- compressor catalogue

// Creating the system device enumerator failed.
inline constexpr char kCannotCreateSystemEnumerator[] = "失敗於建立系統列舉";
// Creating the enumerator of the video compressor category failed.
inline constexpr char kCannotCreateCategoryEnumerator[] = "失敗於建立類別列舉";
// Binding a catalogue entry to a compressor filter failed.
inline constexpr char kCannotBindCompressor[] = "失敗於束縛物件";
// GetCompressor was given no place for its result.
inline constexpr char kGetCompressorInvalidPointer[] = "GetCompressor 接收到無效的指標";

// ---- recompression graph

// A path longer than the 259 bytes a path may have.
inline constexpr char kFileNameTooLong[] = "檔案名稱太長.";
// The input is missing, or is a plain folder.
inline constexpr char kInputFileMissing[] = "指定的輸入檔案不存在.\r\n\r\n請提供一個有效的媒介檔案名稱.";
inline constexpr char kCannotCreateGraph[] = "無法建立一個圖形";
inline constexpr char kCannotSetCaptureGraph[] = "無法設定擷取圖形";
inline constexpr char kCannotLoadSourceFilter[] = "無法載入檔案的來源濾鏡";
// Either grabber, video or audio.
inline constexpr char kCannotCreateSampleGrabber[] = "無法建立 SampleGrabber 從 Qedit.dll";
inline constexpr char kCannotSetGrabberMediaType[] = "無法設定樣本的擷取媒介類型";
inline constexpr char kCannotSetMuxAndFileWriter[] = "無法設定 MUX 和檔案寫入";
inline constexpr char kCannotAddVideoGrabber[] = "無法加入 VideoGrabber 到圖形";
// Also when no compressor is bound.
inline constexpr char kCannotAddCompressor[] =
    "無法加入選取的壓縮到圖形.\r\n\r\n輸入檔案可能不相容於選取的編碼.\r\n某些編碼 (例如 Windows Media "
    "編碼或已啟用 DRM 編碼)\r\n無法在無適當授權下使用.";
inline constexpr char kCannotConnectVideoChain[] = "無法連接視訊鏈";
// The compressor refuses the grabber's RGB24 video.
inline constexpr char kCannotConnectCompressor[] =
    "無法連接視訊到選取的壓縮.\r\n\r\n輸入檔案可能不相容於\r\n選取的編碼.  不是所有編碼都相容.";
inline constexpr char kCannotConnectCompressorToMux[] =
    "無法連接要 mux 的壓縮.\r\n\r\n選取的壓縮可能不相容.\r\n某些編碼 (例如 Windows Media 編碼或已啟用 DRM "
    "編碼)\r\n無法在無適當授權下使用.";
inline constexpr char kCannotAddAudioGrabber[] = "無法加入音訊濾鏡到圖形";
inline constexpr char kCannotConnectAudioSource[] = "無法連接要擷取的音訊來源";
inline constexpr char kCannotConnectAudioToMux[] = "無法連接要 mux 的音訊";
// A warning: the build goes on.
inline constexpr char kCannotRunWithoutClock[] = "無法 SetSyncSource NULL 於圖形";
inline constexpr char kCannotReadSeekingCapabilities[] = "無法讀取輸入檔案搜尋能力";
// A warning, unless warnings are ignored: the build goes on.
inline constexpr char kUnknownDuration[] =
    "無法取得來源檔案的持續.\r\n\r\n再壓縮應可正常作業, 但是\r\n進度列可能無法確實地跟蹤壓縮進度.";
// A warning, unless warnings are ignored: for players, a film so long that one file holds its
// video only below what its picture needs to be watchable. The conversion goes on.
inline constexpr char kFilmTooLongForOneFile[] =
    "影片太長, 無法以可觀賞的畫質放入單一檔案.\r\n\r\n為了放進播放機可讀的單一 2 GB AVI 檔案,\r\n視訊位元率會降到畫質難以觀賞的程度.";
inline constexpr char kCannotSetInterleavingMode[] = "無法設定交錯模式";
inline constexpr char kCannotSetInterleavingTimes[] = "無法置入交錯時間";
inline constexpr char kCannotRunGraph[] = "無法執行壓縮圖形";
