#include "text/StrRes.h"

// Wide literals: wchar_t holds one code point here, so each entry is exactly the code points
// written (NFC). Texts with %s, %02s or "% s" are printf formats that the screens fill in.
// Spelling and punctuation are the translators' own and are kept as they are, including the
// ASCII apostrophe and colon everywhere and the Portuguese mix of "atual-" and "actual-".

static_assert (sizeof (wchar_t) == 4, "the tables need one code point per wide character");

namespace StrRes
{

// Font of each language on Windows; kept with the others, never loaded here.
const juce::String DEFAULT_FONT_WIN[LANG_NUM] = {
    L"Verdana",     // en
    L"Verdana",     // fr
    L"Verdana",     // de
    L"Verdana",     // es
    L"Verdana",     // it
    L"Verdana",     // nl
    L"Verdana",     // ru
    L"Verdana",     // pt
    L"SimHei",      // zh-Hans
    L"SimHei",      // zh-Hant
    L"Batang",      // ko
    L"MS PGothic",  // ja
};

// Font of each language: its texts, and its name in the language list, are drawn in it.
// Names as the font system knows them, style word included ("AppleGothic Regular").
const juce::String DEFAULT_FONT_MAC[LANG_NUM] = {
    L"Verdana",              // en
    L"Verdana",              // fr
    L"Verdana",              // de
    L"Verdana",              // es
    L"Verdana",              // it
    L"Verdana",              // nl
    L"Geneva CY",            // ru
    L"Verdana",              // pt
    L"STHeiti",              // zh-Hans
    L"STHeiti",              // zh-Hant
    L"AppleGothic Regular",  // ko
    L"Osaka",                // ja
};

// Name of each language in that language: the items of the language list. They must
// differ from each other, since the list's look finds a language by its name.
const juce::String LANGUAGE_SELECTION[LANG_NUM] = {
    L"English",     // en
    L"Français",    // fr
    L"Deutsch",     // de
    L"Español",     // es
    L"Italiano",    // it
    L"Nederlands",  // nl
    L"Русский",     // ru
    L"Português",   // pt
    L"简体中文",    // zh-Hans
    L"繁體中文",    // zh-Hant
    L"한국어",      // ko
    L"日本語",      // ja
};

// The empty text.
const juce::String NULL_STR[LANG_NUM] = {
    L"",  // en
    L"",  // fr
    L"",  // de
    L"",  // es
    L"",  // it
    L"",  // nl
    L"",  // ru
    L"",  // pt
    L"",  // zh-Hans
    L"",  // zh-Hant
    L"",  // ko
    L"",  // ja
};

// The product line.
const juce::String NAME_000[LANG_NUM] = {
    L"QVX",  // en
    L"QVX",  // fr
    L"QVX",  // de
    L"QVX",  // es
    L"QVX",  // it
    L"QVX",  // nl
    L"QVX",  // ru
    L"QVX",  // pt
    L"QVX",  // zh-Hans
    L"QVX",  // zh-Hant
    L"QVX",  // ko
    L"QVX",  // ja
};

// The model name, which fills the %s of the texts that name the controller.
const juce::String NAME_001[LANG_NUM] = {
    L"QVX-720",  // en
    L"QVX-720",  // fr
    L"QVX-720",  // de
    L"QVX-720",  // es
    L"QVX-720",  // it
    L"QVX-720",  // nl
    L"QVX-720",  // ru
    L"QVX-720",  // pt
    L"QVX-720",  // zh-Hans
    L"QVX-720",  // zh-Hant
    L"QVX-720",  // ko
    L"QVX-720",  // ja
};

// Window title.
const juce::String STR_0000[LANG_NUM] = {
    L"Updater Program",             // en
    L"Programme de mise à jour",    // fr
    L"Aktualisierungsprogramm",     // de
    L"Programa actualizador",       // es
    L"Programma di aggiornamento",  // it
    L"Updateprogramma",             // nl
    L"Программа обновления",        // ru
    L"Programa de Atualização",     // pt
    L"升级程序",                    // zh-Hans
    L"更新程式",                    // zh-Hant
    L"업데이터 프로그램",           // ko
    L"アップデートプログラム",      // ja
};

// Caption OK. The Russian one is Cyrillic (U+041E U+041A), not Latin.
const juce::String STR_0001[LANG_NUM] = {
    L"OK",       // en
    L"OK",       // fr
    L"OK",       // de
    L"Aceptar",  // es
    L"OK",       // it
    L"Akkoord",  // nl
    L"ОК",       // ru
    L"OK",       // pt
    L"确定",     // zh-Hans
    L"確定",     // zh-Hant
    L"OK",       // ko
    L"OK",       // ja
};

// Caption Start.
const juce::String STR_0002[LANG_NUM] = {
    L"Start",      // en
    L"Démarrer",   // fr
    L"Start",      // de
    L"Iniciar",    // es
    L"Start",      // it
    L"Beginnen",   // nl
    L"Запустить",  // ru
    L"Iniciar",    // pt
    L"开始",       // zh-Hans
    L"開始",       // zh-Hant
    L"시작",       // ko
    L"開始",       // ja
};

// Caption Cancel.
const juce::String STR_0003[LANG_NUM] = {
    L"Cancel",      // en
    L"Annuler",     // fr
    L"Abbrechen",   // de
    L"Cancelar",    // es
    L"Annulla",     // it
    L"Annuleren",   // nl
    L"Отменить",    // ru
    L"Cancelar",    // pt
    L"取消",        // zh-Hans
    L"取消",        // zh-Hant
    L"취소",        // ko
    L"キャンセル",  // ja
};

// Caption Close.
const juce::String STR_0004[LANG_NUM] = {
    L"Close",      // en
    L"Fermer",     // fr
    L"Schließen",  // de
    L"Cerrar",     // es
    L"Chiudi",     // it
    L"Sluiten",    // nl
    L"Закрыть",    // ru
    L"Fechar",     // pt
    L"关闭",       // zh-Hans
    L"關閉",       // zh-Hant
    L"닫기",       // ko
    L"終了",       // ja
};

// Heading of the language screen.
const juce::String STR_0005[LANG_NUM] = {
    L"Language Selections",   // en
    L"Sélection de langue",   // fr
    L"Sprachenwahl",          // de
    L"Selección de idiomas",  // es
    L"Scelta della lingua",   // it
    L"Taalkeuze",             // nl
    L"Выбор языка",           // ru
    L"Seleção do Idioma",     // pt
    L"语言选择",              // zh-Hans
    L"語言選擇",              // zh-Hant
    L"언어",                  // ko
    L"言語の選択",            // ja
};

// Prompt of the language screen. Portuguese "Seleccione" with cc, like the Spanish.
const juce::String STR_0006[LANG_NUM] = {
    L"Please select a language.",             // en
    L"Veuillez sélectionner une langue.",     // fr
    L"Bitte wählen Sie eine Sprache.",        // de
    L"Seleccione un idioma.",                 // es
    L"Scegli una lingua.",                    // it
    L"Kies een taal a.u.b.",                  // nl
    L"Пожалуйста, выберите язык.",            // ru
    L"Seleccione um idioma.",                 // pt
    L"请选择一种语言。",                      // zh-Hans
    L"請選擇語言。",                          // zh-Hant
    L"언어를 선택하십시오.",                  // ko
    L"ご使用になる言語を選択してください。",  // ja
};

// An update-file error.
const juce::String STR_0007[LANG_NUM] = {
    L"There is an error in the update file.",                     // en
    L"Il y a une erreur dans le fichier de mise à jour.",         // fr
    L"Es gibt einen Fehler in der Aktualisierungsdatei.",         // de
    L"Se ha producido un error en el archivo de actualización.",  // es
    L"Si è verificato un errore nel file di aggiornamento.",      // it
    L"Er is een fout in het updatebestand.",                      // nl
    L"Ошибка в файле обновления.",                                // ru
    L"Houve um erro no arquivo de atualização.",                  // pt
    L"更新文件出错。",                                            // zh-Hans
    L"檔案更新時出現錯誤。",                                      // zh-Hant
    L"업데이트 파일에 오류가 있습니다.",                          // ko
    L"更新ファイルにエラーがあります。",                          // ja
};

// The controller is not connected (%s: model name). Chinese: a blank before the
// placeholder, none after.
const juce::String STR_0008[LANG_NUM] = {
    L"Your %s is not connected.",        // en
    L"Votre %s n'est pas connecté.",     // fr
    L"Ihr %s ist nicht angeschlossen.",  // de
    L"Su %s no está conectado.",         // es
    L"Il %s non è collegato.",           // it
    L"Uw %s is niet aangesloten.",       // nl
    L"Устройство %s не подсоединено.",   // ru
    L"Seu %s não está conectado.",       // pt
    L"没有连接 %s。",                    // zh-Hans
    L"未連接 %s。",                      // zh-Hant
    L"%s가 연결되어 있지 않습니다.",     // ko
    L"%sが接続されていません。",         // ja
};

// Heading of the screen with both versions (%s: model name).
const juce::String STR_0009[LANG_NUM] = {
    L"Updates the version of your %s firmware.",                          // en
    L"Met à jour la version du microprogramme de %s.",                    // fr
    L"Aktualisiert die Version Ihrer %s Firmware.",                       // de
    L"Actualiza la versión del firmware del %s.",                         // es
    L"Aggiorna la versione del firmware del %s.",                         // it
    L"Werkt uw %s firmware bij.",                                         // nl
    L"Обновляет версию Вашего встроенного программного обеспечения %s.",  // ru
    L"Atualizar a versão do firmware do %s.",                             // pt
    L"升级您的%s固件版本。",                                              // zh-Hans
    L"更新%s韌體的版本。",                                                // zh-Hant
    L"%s의 펌웨어 버전을 업데이트 합니다.",                               // ko
    L"%sファームウェアのバージョンアップを行います。",                    // ja
};

// The controller's system version, %s.%02s: its first digit, then the other two.
// Italian and traditional Chinese have no "Ver.", Japanese writes "Ver" straight before it.
const juce::String STR_0010[LANG_NUM] = {
    L"Current Version: Ver. %s.%02s",             // en
    L"Version actuelle: Ver. %s.%02s",            // fr
    L"Gegenwärtige Version: Ver. %s.%02s",        // de
    L"Versión actual: Ver. %s.%02s",              // es
    L"Versione attualmente installata: %s.%02s",  // it
    L"Huidige versie: Ver. %s.%02s",              // nl
    L"Настоящая версия: Версия %s.%02s",          // ru
    L"Versão actual: Ver. %s.%02s",               // pt
    L"当前版本: Ver. %s.%02s",                    // zh-Hans
    L"目前版本: %s.%02s版",                       // zh-Hant
    L"현재 버전: Ver. %s.%02s",                   // ko
    L"現在のバージョン: Ver%s.%02s",              // ja
};

// The update file's system version, split as above.
const juce::String STR_0011[LANG_NUM] = {
    L"Update Version: Ver. %s.%02s",            // en
    L"Version de mise à jour: Ver. %s.%02s",    // fr
    L"Aktualisierte Version: Ver. %s.%02s",     // de
    L"Versión de actualización: Ver. %s.%02s",  // es
    L"Versione aggiornata: %s.%02s",            // it
    L"Versie na de update: Ver. %s.%02s",       // nl
    L"Обновленная версия: Версия %s.%02s",      // ru
    L"Actualizar versão: Ver. %s.%02s",         // pt
    L"升级版本: Ver. %s.%02s",                  // zh-Hans
    L"更新版本: %s.%02s版",                     // zh-Hant
    L"업데이트 버전: Ver. %s.%02s",             // ko
    L"更新バージョン: Ver%s.%02s",              // ja
};

// Heading while the update runs (%s: model name). Dutch has no blank before "wordt";
// Portuguese writes "% s", whose blank flag does nothing to a string.
const juce::String STR_0012[LANG_NUM] = {
    L"Updating your %s firmware.",                                  // en
    L"Mise à jour du microprogramme de %s.",                        // fr
    L"Ihre %s-Firmware wird aktualisiert.",                         // de
    L"Actualizando el firmware de su %s.",                          // es
    L"Aggiornamento del firmware del %s in corso.",                 // it
    L"De firmware van uw %swordt bijgewerkt.",                      // nl
    L"Обновление Вашего встроенного программного обеспечения %s.",  // ru
    L"Atualizando o firmware do seu% s.",                           // pt
    L"升级您的%s固件。",                                            // zh-Hans
    L"更新%s韌體。",                                                // zh-Hant
    L"%s의 펌웨어 업데이트 하기.",                                  // ko
    L"%sファームウェアのアップデートを実行中です。",                // ja
};

// Please-wait line while the update runs. The Chinese comma is the full-width U+FF0C.
const juce::String STR_0013[LANG_NUM] = {
    L"Please wait for a few moments until the update process is complete.",                           // en
    L"Veuillez patienter un instant jusqu'à ce que le processus de mise à jour se termine.",          // fr
    L"Bitte warten Sie, bis die Aktualisierung abgeschlossen ist.",                                   // de
    L"Espere unos segundos hasta que el proceso de actualización haya finalizado.",                   // es
    L"Si prega di attendere alcuni istanti sino a quando il processo di aggiornamento si completa.",  // it
    L"Wacht even tot het updateproces voltooid is.",                                                  // nl
    L"Пожалуйста, немного подождите завершения процесса обновления.",                                 // ru
    L"A executar a actualização. Aguarde até a actualização estar concluída.",                        // pt
    L"请稍候，等待更新过程完成。",                          // zh-Hans
    L"請等待片刻，直到更新程序完成。",                      // zh-Hant
    L"업데이트가 끝나기까지 잠시만 기다리십시오.",          // ko
    L"アップデートが完了するまでしばらくお待ちください。",  // ja
};

// Completion message (%s: model name); the Portuguese and Korean ones do not name the model.
const juce::String STR_0014[LANG_NUM] = {
    L"The update of your version of the %s firmware is now complete.",               // en
    L"La mise à jour du microprogramme de %s est maintenant terminée.",              // fr
    L"Die Aktualisierung der Version Ihrer %s Firmware ist jetzt abgeschlossen.",    // de
    L"La actualización de la versión del firmware del %s ha finalizado.",            // es
    L"L'aggiornamento del %s è stato completato.",                                   // it
    L"Het bijwerken van de firmware van uw %s is nu gereed.",                        // nl
    L"Обновление версии Вашего встроенного программного обеспечения %s завершено.",  // ru
    L"A versão foi actualizada.",                                                    // pt
    L"现在已完成%s固件的版本升级。",                                                 // zh-Hans
    L"現已完成%s韌體的版本更新作業。",                                               // zh-Hant
    L"버전 업데이트 되었습니다.",                                                    // ko
    L"%sファームウェアのアップデートが完了しました。",                               // ja
};

// First line of a controller or transfer error.
const juce::String STR_0015[LANG_NUM] = {
    L"An error has occurred.",       // en
    L"Une erreur s'est produite.",   // fr
    L"Ein Fehler ist aufgetreten.",  // de
    L"Se ha producido un error.",    // es
    L"Si è verificato un errore.",   // it
    L"Er is en fout opgetreden.",    // nl
    L"Произошла ошибка.",            // ru
    L"Houve um erro.",               // pt
    L"出现错误。",                   // zh-Hans
    L"發生錯誤。",                   // zh-Hant
    L"오류가 발생했습니다.",         // ko
    L"エラーが発生しました。",       // ja
};

// Second line of a controller or transfer error.
const juce::String STR_0016[LANG_NUM] = {
    L"It was not possible to update the program.",            // en
    L"La mise à jour du programme s'est révélé impossible.",  // fr
    L"Das Programm kann nicht aktualisiert werden.",          // de
    L"No ha sido posible actualizar el programa.",            // es
    L"Non è stato possibile aggiornare il programma.",        // it
    L"Het was niet mogelijk het programma te updaten.",       // nl
    L"Было невозможно обновить программу.",                   // ru
    L"Não é possível atualizar o programa.",                  // pt
    L"无法更新程序。",                                        // zh-Hans
    L"不能更新程式。",                                        // zh-Hant
    L"프로그램을 업데이트 하지 못했습니다.",                  // ko
    L"アップデートは行われませんでした。",                    // ja
};
}  // namespace StrRes
