// Dispatch identifiers of the host's objects that the plug-in calls. The host application implements
// each of them; the plug-in calls them by number. Numbers never move.
//
// Rows marked (ours) are identifiers that the original contract leaves to the host; this host fixes them.
#pragma once

#include "zolta/abi.h"

namespace zabi::host {

// ---- host client (from the executable's export ClientAPI_GetClientInterface) --------------------
inline constexpr DispId Client_SetApplicationWindow = 486;    // application window handle for plug-in windows
inline constexpr DispId Client_GetDocumentByPath = 491;       // (path) -> IDocument or none
inline constexpr DispId Client_GetMainWindow = 492;           // -> integer handle
inline constexpr DispId Client_GetGUIManager = 494;           // -> IGUIManager
inline constexpr DispId Client_FreeFormsAtOnce = 504;         // -> Boolean
inline constexpr DispId Client_RegisterNotificationHandler = 527;
inline constexpr DispId Client_UnregisterNotificationHandler = 528;
inline constexpr DispId Client_GetTimerManager = 531;
inline constexpr DispId Client_GetApplicationName = 548;      // -> text, the host client's name
inline constexpr DispId Client_RunProcess = 625;              // (process name, in-out parameters, view) -> nothing
inline constexpr DispId Client_GetClientAPI = 795;            // -> IClientAPI
inline constexpr DispId Client_GetServerModuleByName = 797;   // (ours) (name) -> server module or none
inline constexpr DispId Client_GetPluginsRegistry = 2027;     // -> plug-ins registry

// Server module names (client 797).
inline constexpr const char* kServerModule_FPGAFlow = "FPGAFlow";

// ---- client API ------------------------------------------------------------------------------
inline constexpr DispId ClientAPI_GetSpecialFolder = 770;     // -> text, host folder (EDIF parent)
inline constexpr DispId ClientAPI_GetImageListFolder2 = 773;  // -> text
inline constexpr DispId ClientAPI_GetImageListFolder = 774;   // -> text
inline constexpr DispId ClientAPI_GetEmbeddedFolder = 787;    // -> text
inline constexpr DispId ClientAPI_GetNoPromptFlag = 793;      // -> Boolean
inline constexpr DispId ClientAPI_GetDisplayPath = 844;       // (path) -> text
inline constexpr DispId ClientAPI_GetHelpTopic = 963;         // (help name, out topic) -> Boolean
inline constexpr DispId ClientAPI_GetHelpPrefix = 964;        // (module name, out prefix) -> Boolean

// ---- plug-ins registry and its items ------------------------------------------------------------
inline constexpr DispId PluginItem_GetFolder = 2009;          // -> text
inline constexpr DispId PluginItem_GetFlag = 2010;            // -> integer, non-zero items are skipped
inline constexpr DispId PluginsRegistry_GetCount = 2017;      // -> integer
inline constexpr DispId PluginsRegistry_GetItem = 2018;       // (index) -> item

// ---- GUI manager ---------------------------------------------------------------------------------
inline constexpr DispId GUIManager_ShortcutFollowUp = 156;
inline constexpr DispId GUIManager_OfferShortcut = 158;       // (key, alt, ctrl, shift) -> Boolean
inline constexpr DispId GUIManager_StatusBarCommand = 164;    // (command code, text)
// Status-bar command codes of operation 164.
inline constexpr int32_t StatusBar_Reset = -1;
inline constexpr int32_t StatusBar_ProgressBegin = -3;
inline constexpr int32_t StatusBar_ProgressEnd = -4;
inline constexpr int32_t StatusBar_ProgressText = -5;
inline constexpr int32_t StatusBar_ProgressTextEnd = -6;
inline constexpr int32_t StatusBar_ProgressStep = -7;

// ---- documents -----------------------------------------------------------------------------------
inline constexpr DispId Document_BeginChange = 100;
inline constexpr DispId Document_EndChange = 101;

// ---- workspace (from the export GetWorkspace) ------------------------------------------------------
inline constexpr DispId Workspace_GetMessagesManager = 469;   // -> IKVRMessagesManager
inline constexpr DispId MessagesManager_AddMessage = 439;     // (class, text, source, document, process, parameters,
                                                              //  image index, replace, help file, help id)

// ---- timers --------------------------------------------------------------------------------------
inline constexpr DispId TimerManager_Add = 268;
inline constexpr DispId TimerManager_Remove = 269;
inline constexpr DispId TimerManager_Enable = 271;

// ---- FPGA flow module and vendor-tool manager ------------------------------------------------------
inline constexpr DispId FPGAFlowModule_GetVendorToolManager = 509009;
inline constexpr DispId VendorTools_Descriptor = 509001;      // (vendor) -> text
inline constexpr DispId VendorTools_Installed = 509002;       // (vendor) -> Boolean
inline constexpr DispId VendorTools_VersionSupported = 509003;  // (vendor) -> Boolean
inline constexpr DispId VendorTools_ToolPath = 509004;        // (vendor, tool) -> text
inline constexpr DispId VendorTools_Version = 509005;         // (vendor) -> text

// ---- host device (IZoltaDevice), JTAG channel, JTAG device --------------------------------------
inline constexpr DispId ZoltaDevice_GetName = 503380;         // -> text
inline constexpr DispId ZoltaDevice_GetDescription = 503381;  // -> text
inline constexpr DispId ZoltaDevice_ResetDevice = 503636;     // -> Boolean
inline constexpr DispId ZoltaDevice_GetDeviceState = 503637;  // -> integer
inline constexpr DispId ZoltaDevice_ProgramDevice = 503638;   // (file name) -> integer, bits sent
inline constexpr DispId MessagesManager_BeginUpdate = 445;
inline constexpr DispId MessagesManager_EndUpdate = 446;
inline constexpr DispId ZoltaDevice_GetJTagIndex = 503629;    // -> integer
inline constexpr DispId ZoltaDevice_GetJTagChannel = 503630;  // -> IJTagChannel or none
inline constexpr DispId ZoltaDevice_ReadRegister = 503666;    // (address, width) -> integer
inline constexpr DispId ZoltaDevice_WriteRegister = 503667;   // (address, width, value)
inline constexpr DispId JTagChannel_Lock = 503425;
inline constexpr DispId JTagChannel_Unlock = 503426;
inline constexpr DispId JTagChannel_GetJTagDevice = 503579;   // (index) -> IJTagDevice
inline constexpr DispId JTagChannel_GetPort = 503611;
inline constexpr DispId JTagChannel_GetChainLength = 503578;
inline constexpr DispId JTagChannel_PrepareChain = 503581;
inline constexpr DispId JTagChannel_ScanData = 503599;        // (value, bit count, device index) -> integer
inline constexpr DispId JTagChannel_LoadInstruction = 503601; // (code, device index)
inline constexpr DispId JTagChannel_MoveTapState = 503605;    // (from, to)
inline constexpr DispId JTagChannel_GotoTapState = 503607;    // (state)
inline constexpr DispId JTagChannel_ClockTms = 503608;        // (level)
inline constexpr DispId JTagDevice_GetBSDLEntity = 503550;    // -> IBSDLEntity or none

// ---- device manager, family manager and device families ------------------------------------------
// The device manager comes from the host export GetDeviceManager.
inline constexpr DispId DeviceManager_GetFamilyManager = 504014;  // -> family manager
inline constexpr DispId FamilyManager_GetFamily = 503996;         // (family name) -> family or none
inline constexpr DispId Family_GetParameterValue = 503983;        // (name) -> text
inline constexpr DispId Family_GetParameterBoolean = 503984;      // (name) -> Boolean
inline constexpr DispId Family_GetParameterInteger = 503985;      // (name) -> integer
inline constexpr DispId Family_HasParameter = 503992;             // (name) -> Boolean
inline constexpr DispId Family_HasParameter2 = 503994;            // (name) -> Boolean, the same answer

// ---- options: device information and the project's options storage --------------------------------
inline constexpr DispId DeviceManager_GetDeviceInformation = 504002;  // (device name) -> IDeviceInformation or none
inline constexpr DispId DeviceInfo_GetFamilyName = 503382;            // -> text
inline constexpr DispId DeviceInfo_GetBaseName = 503386;              // -> text
inline constexpr DispId DeviceInfo_GetPackageName = 503393;           // -> text
inline constexpr DispId DeviceInfo_GetSpeedGradeName = 503400;        // -> text
inline constexpr DispId Project_GetOptionsStorage = 500094;           // -> IOptionsStorage or none
inline constexpr DispId OptionsStorage_WriteValue = 378;              // (section, key, value)
inline constexpr DispId OptionsStorage_ReadValue = 380;               // (section, key, default) -> text
inline constexpr DispId OptionsStorage_RemoveKey = 381;               // (section, key)

// ---- views ---------------------------------------------------------------------------------------
inline constexpr DispId InstrumentView_Hidden = 503704;

// ---- process flow ----------------------------------------------------------------------------------
// The host's process-flow runner, handed to the flow objects' Run operations (IProcessFlowRunner).
inline constexpr DispId ProcessFlowRunner_StageStarting = 503740;  // (stage: IProcessFlow)
inline constexpr DispId ProcessFlowRunner_AddReportItem = 503741;  // (section, name, value, report file)
inline constexpr DispId ProcessFlowRunner_RunBegin = 503743;       // a run begins
inline constexpr DispId ProcessFlowRunner_RunEnd = 503744;         // the run ended (also after a failure)
// Workspace operations of the flow objects' messages and projects.
inline constexpr DispId Workspace_GetProjectByPath = 501413;       // (project path) -> IProject or none
inline constexpr DispId Workspace_WriteOutputLine = 501423;        // (text, false, false): a line in the output panel
inline constexpr DispId Workspace_GetFlowMessagesManager = 508377; // -> IKVRMessagesManager (the same as 469)
// (message parameters "Class=..|Text=..|Source=..|Document=..|CallBackProcess=..|ImageIndex=..", and
// optionally "|ReplaceLastMessageIfSameClass=True" or "|ReplaceLastMessageOfSameClass=True";
//  call-back parameters)
inline constexpr DispId MessagesManager_AddMessageParams = 440;
// (ours) Status-bar command 164 with a code of 0 or more sets the text of that status-bar panel; the
// flow objects write their information and progress texts to this panel.
inline constexpr int32_t StatusBar_FlowTextPanel = 2;

// ---- stages: projects, documents and synthesizers of the vendor-tool stages ------------------------
inline constexpr DispId Project_GetDocument = 500039;              // (index) -> IDocument
inline constexpr DispId Project_GetDocumentCount = 500047;         // -> integer
inline constexpr DispId Project_GetFileName = 500062;              // -> text, the project file's full path
inline constexpr DispId Project_GetUserID = 500081;                // -> text, the project's user identifier
inline constexpr DispId Project_GetAssociatedProject = 500134;     // -> IProject or none
inline constexpr DispId Document_GetFileName = 500331;             // -> text, the document file's full path
inline constexpr DispId Workspace_GetOutputPosition = 501447;      // -> integer, position of the next output line
// (ours) The FPGA flow module's synthesizer manager (server module "FPGAFlow", client 797).
inline constexpr DispId FPGAFlowModule_GetSynthesizerManager = 509010;  // -> synthesizer manager or none
inline constexpr DispId SynthesizerManager_GetSynthesizerName = 508822; // (project) -> text, e.g. "Altera Quartus II"

// ---- host exports ----------------------------------------------------------------------------------
// Besides ClientAPI_GetClientInterface and VFSAPI_VFS_ExpandRelativePath (abi.h), the host executable
// exports these with default visibility. Each answers a borrowed reference (the caller AddRefs what it
// keeps) or null when the object does not exist.
extern "C" {
using HostGetObjectFn = IDispatch* (*)();
}
inline constexpr const char* kHostExportWorkspace = "GetWorkspace";
inline constexpr const char* kHostExportDeviceManager = "GetDeviceManager";
inline constexpr const char* kHostExportModelTypeManager = "LibApi_GetModelTypeManager";
inline constexpr const char* kHostExportLibraryManager = "LibApi_GetLibraryManager";

// (ours) File of the host's toolchain-management module, looked for in System/ and the plug-in folders.
inline constexpr const char* kToolchainModuleFile = "ToolchainManager.so";

// Image indices of host messages by kind: "No Report", "Warning", "Error", "Fatal Error".
inline constexpr int32_t MessageImage_NoReport = 71;
inline constexpr int32_t MessageImage_Warning = 72;
inline constexpr int32_t MessageImage_Error = 73;
inline constexpr int32_t MessageImage_FatalError = 74;

}  // namespace zabi::host
