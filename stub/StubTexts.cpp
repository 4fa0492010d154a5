// The stub's own texts. One row per text, one column per language (English,
// French, German, Italian, Spanish), in the order of the Text enum. Alt
// letters differ between the buttons shown together in every language. The
// table holds UTF-8, half the size of UTF-16 in the executable; a text is
// converted the first time it is shown.

#include "StubTexts.h"

#include <windows.h>

namespace {

const char *const kTexts[][5] = {
    // DefaultCaption
    {"Self-extracting archive", "Archive auto-extractible", "Selbstentpackendes Archiv",
     "Archivio autoestraente", "Archivo autoextraíble"},
    // ExtractTo
    {"Extract to:", "Extraire dans :", "Entpacken nach:", "Estrai in:", "Extraer en:"},
    // Browse
    {"&Browse...", "&Parcourir...", "&Durchsuchen...", "&Sfoglia...", "E&xaminar..."},
    // ExistingFiles
    {"Existing files:", "Fichiers existants :", "Vorhandene Dateien:", "File esistenti:",
     "Archivos existentes:"},
    // AskBeforeReplacing
    {"Ask before replacing them", "Demander avant de les remplacer", "Vor dem Ersetzen fragen",
     "Chiedere prima di sostituirli", "Preguntar antes de reemplazarlos"},
    // ReplaceThem
    {"Replace them", "Les remplacer", "Ersetzen", "Sostituirli", "Reemplazarlos"},
    // KeepThem
    {"Keep them", "Les garder", "Behalten", "Mantenerli", "Conservarlos"},
    // SelectAll
    {"Select &all", "&Tout cocher", "&Alle wählen", "Seleziona &tutto", "Marcar &todos"},
    // SelectNone
    {"Select &none", "Tout &décocher", "&Keine wählen", "&Nessuno", "&Ninguno"},
    // ThenRun
    {"Then run:", "Puis lancer :", "Danach ausführen:", "Poi eseguire:", "Después ejecutar:"},
    // Extract
    {"&Extract", "&Extraire", "&Entpacken", "&Estrai", "&Extraer"},
    // Cancel
    {"Cancel", "Annuler", "Abbrechen", "Annulla", "Cancelar"},
    // Ok
    {"OK", "OK", "OK", "OK", "Aceptar"},
    // Yes
    {"&Yes", "&Oui", "&Ja", "&Sì", "&Sí"},
    // No
    {"&No", "&Non", "&Nein", "&No", "&No"},
    // YesToAll
    {"Yes to &all", "Oui pour &tous", "Ja für &alle", "Sì a &tutti", "Sí a &todos"},
    // NoToAll
    {"No &to all", "Non pour to&us", "N&ein für alle", "No a t&utti", "No a to&dos"},
    // OverwriteCaption
    {"File already exists", "Le fichier existe déjà", "Datei existiert bereits", "Il file esiste già",
     "El archivo ya existe"},
    // OverwriteQuestion
    {"The file %1 already exists. Do you want to replace it with the one in the archive?",
     "Le fichier %1 existe déjà. Voulez-vous le remplacer par celui de l'archive ?",
     "Die Datei %1 existiert bereits. Möchten Sie sie durch die Datei aus dem Archiv ersetzen?",
     "Il file %1 esiste già. Sostituirlo con quello dell'archivio?",
     "El archivo %1 ya existe. ¿Desea reemplazarlo por el del archivo comprimido?"},
    // ExistingFileInfo
    {"Existing file: %1, modified %2", "Fichier existant : %1, modifié le %2",
     "Vorhandene Datei: %1, geändert am %2", "File esistente: %1, modificato il %2",
     "Archivo existente: %1, modificado el %2"},
    // ArchiveFileInfo
    {"In the archive: %1, modified %2", "Dans l'archive : %1, modifié le %2", "Im Archiv: %1, geändert am %2",
     "Nell'archivio: %1, modificato il %2", "En el archivo comprimido: %1, modificado el %2"},
    // PasswordCaption
    {"Password", "Mot de passe", "Kennwort", "Password", "Contraseña"},
    // PasswordFor
    {"Password for %1:", "Mot de passe de %1 :", "Kennwort für %1:", "Password per %1:",
     "Contraseña de %1:"},
    // ChooseFolder
    {"Choose the folder to extract to", "Choisissez le dossier où extraire", "Wählen Sie den Zielordner",
     "Scegliere la cartella in cui estrarre", "Elija la carpeta donde extraer"},
    // PleaseChooseFolder
    {"Please choose the folder to extract to.", "Choisissez le dossier où extraire.",
     "Bitte wählen Sie den Zielordner.", "Scegliere la cartella in cui estrarre.",
     "Elija la carpeta donde extraer."},
    // NotEnoughSpace
    {"There is not enough free space in %1.\n\nNeeded: %2\nFree: %3\n\nChoose another folder or make room.",
     "Il n'y a pas assez de place libre dans %1.\n\nNécessaire : %2\nLibre : %3\n\n"
     "Choisissez un autre dossier ou libérez de la place.",
     "In %1 ist nicht genug Platz frei.\n\nBenötigt: %2\nFrei: %3\n\n"
     "Wählen Sie einen anderen Ordner oder schaffen Sie Platz.",
     "Non c'è abbastanza spazio libero in %1.\n\nNecessario: %2\nLibero: %3\n\n"
     "Scegliere un'altra cartella o liberare spazio.",
     "No hay suficiente espacio libre en %1.\n\nNecesario: %2\nLibre: %3\n\nElija otra carpeta o libere espacio."},
    // Extracted
    {"The files were extracted to %1.", "Les fichiers ont été extraits dans %1.",
     "Die Dateien wurden nach %1 entpackt.", "I file sono stati estratti in %1.",
     "Los archivos se extrajeron en %1."},
    // RunNow
    {"Run %1 now?", "Lancer %1 maintenant ?", "%1 jetzt ausführen?", "Eseguire %1 ora?",
     "¿Ejecutar %1 ahora?"},
    // CommandFailed
    {"The command could not be started: %1", "La commande n'a pas pu être lancée : %1",
     "Der Befehl konnte nicht gestartet werden: %1", "Impossibile avviare il comando: %1",
     "No se pudo iniciar el comando: %1"},
    // Extracting
    {"Extracting %1", "Extraction de %1", "Entpacke %1", "Estrazione di %1", "Extrayendo %1"},
    // ArchiveHolds
    {"%1 files, %2 in all", "%1 fichiers, %2 au total", "%1 Dateien, insgesamt %2", "%1 file, %2 in tutto",
     "%1 archivos, %2 en total"},
    // ArchiveHoldsOne
    {"1 file, %2 in all", "1 fichier, %2 au total", "1 Datei, insgesamt %2", "1 file, %2 in tutto",
     "1 archivo, %2 en total"},
    // ConfirmCancel
    {"Stop extracting? The files extracted so far will be removed.",
     "Arrêter l'extraction ? Les fichiers déjà extraits seront supprimés.",
     "Entpacken abbrechen? Die bereits entpackten Dateien werden entfernt.",
     "Interrompere l'estrazione? I file già estratti verranno rimossi.",
     "¿Detener la extracción? Se eliminarán los archivos ya extraídos."},
    // CancelledRemoved
    {"Extraction stopped. The files and folders it had created (%1) were removed.",
     "Extraction arrêtée. Les fichiers et dossiers qu'elle avait créés (%1) ont été supprimés.",
     "Entpacken abgebrochen. Die dabei angelegten Dateien und Ordner (%1) wurden entfernt.",
     "Estrazione interrotta. I file e le cartelle che aveva creato (%1) sono stati rimossi.",
     "Extracción detenida. Se eliminaron los archivos y carpetas que había creado (%1)."},
    // ReportFailed
    {"%1 of %2 files could not be extracted.", "%1 fichiers sur %2 n'ont pas pu être extraits.",
     "%1 von %2 Dateien konnten nicht entpackt werden.", "Impossibile estrarre %1 file su %2.",
     "No se pudieron extraer %1 de %2 archivos."},
    // ReportFailedOne
    {"One file of %2 could not be extracted.", "Un fichier sur %2 n'a pas pu être extrait.",
     "Eine von %2 Dateien konnte nicht entpackt werden.", "Impossibile estrarre un file su %2.",
     "No se pudo extraer un archivo de %2."},
    // ReportTestFailed
    {"%1 files failed the test.", "%1 fichiers ont échoué au test.", "%1 Dateien haben den Test nicht bestanden.",
     "%1 file non hanno superato il test.", "%1 archivos no superaron la prueba."},
    // ReportTestFailedOne
    {"One file failed the test.", "Un fichier a échoué au test.", "Eine Datei hat den Test nicht bestanden.",
     "Un file non ha superato il test.", "Un archivo no superó la prueba."},
    // ReportFirst
    {"For example: %1", "Par exemple : %1", "Zum Beispiel: %1", "Per esempio: %1", "Por ejemplo: %1"},
    // ReportWhy
    {"Why: %1", "Raison : %1", "Grund: %1", "Motivo: %1", "Motivo: %1"},
    // ReportFullList
    {"All of them:", "La liste complète :", "Die vollständige Liste:", "L'elenco completo:",
     "La lista completa:"},
    // ProblemLine
    {"%1: %2", "%1 : %2", "%1: %2", "%1: %2", "%1: %2"},
    // NoErrors
    {"No errors were found in the archive.", "Aucune erreur n'a été trouvée dans l'archive.",
     "Im Archiv wurden keine Fehler gefunden.", "Nessun errore trovato nell'archivio.",
     "No se encontraron errores en el archivo comprimido."},
    // NoErrorsShort
    {"No errors.", "Aucune erreur.", "Keine Fehler.", "Nessun errore.", "Sin errores."},
    // AccessDeniedAsk
    {"You may not write into %1.\n\nStart again with administrator rights?",
     "Vous n'avez pas le droit d'écrire dans %1.\n\nRecommencer avec les droits d'administrateur ?",
     "Sie dürfen nicht in %1 schreiben.\n\nMit Administratorrechten neu starten?",
     "Non si hanno i diritti per scrivere in %1.\n\nRicominciare con i diritti di amministratore?",
     "No tiene permiso para escribir en %1.\n\n¿Volver a empezar con derechos de administrador?"},
    // AccessDeniedSilent
    {"Access denied: cannot write into %1; run it again as administrator, or with -d and another folder.",
     "Accès refusé : impossible d'écrire dans %1 ; relancez-le en administrateur, ou avec -d et un autre dossier.",
     "Zugriff verweigert: In %1 kann nicht geschrieben werden; als Administrator erneut starten, oder mit -d und "
     "einem anderen Ordner.",
     "Accesso negato: impossibile scrivere in %1; rieseguirlo come amministratore, o con -d e un'altra cartella.",
     "Acceso denegado: no se puede escribir en %1; vuelva a ejecutarlo como administrador, o con -d y otra "
     "carpeta."},
    // ElevationFailed
    {"Could not start again with administrator rights.",
     "Impossible de recommencer avec les droits d'administrateur.",
     "Der Neustart mit Administratorrechten ist fehlgeschlagen.",
     "Impossibile ricominciare con i diritti di amministratore.",
     "No se pudo volver a empezar con derechos de administrador."},
    // UnknownSwitch
    {"Unknown switch %1. Use -? for help.", "Option inconnue %1. -? affiche l'aide.",
     "Unbekannter Schalter %1. -? zeigt die Hilfe.", "Opzione sconosciuta %1. -? mostra l'aiuto.",
     "Opción desconocida %1. -? muestra la ayuda."},
    // CannotRead
    {"The archive cannot be read: %1", "L'archive ne peut pas être lue : %1",
     "Das Archiv kann nicht gelesen werden: %1", "Impossibile leggere l'archivio: %1",
     "No se puede leer el archivo comprimido: %1"},
    // Help
    {"Usage: %1 [switches]\n\n"
     "  -s           silent: no window, messages go to the console\n"
     "  -d FOLDER    extract into FOLDER (made with its parents)\n"
     "  -p PASSWORD  the password of encrypted files\n"
     "  -y           replace existing files without asking\n"
     "  -l           list the contents\n"
     "  -t           test the archive without extracting\n"
     "  -?           this help\n\n"
     "Under -s, existing files follow the package's overwrite mode;\n"
     "where it asks, they are kept. -y replaces them.\n\n"
     "Exit codes: 0 success, 1 error, 2 cancelled; under -s, the exit code\n"
     "of the command run after extraction. In cmd, \"start /wait %1 -s\"\n"
     "waits for the end and sets %ERRORLEVEL%.",
     "Usage : %1 [options]\n\n"
     "  -s             silencieux : aucune fenêtre, messages dans la console\n"
     "  -d DOSSIER     extraire dans DOSSIER (créé avec ses parents)\n"
     "  -p MOTDEPASSE  le mot de passe des fichiers chiffrés\n"
     "  -y             remplacer les fichiers existants sans demander\n"
     "  -l             lister le contenu\n"
     "  -t             tester l'archive sans extraire\n"
     "  -?             cette aide\n\n"
     "Avec -s, les fichiers existants suivent le mode de remplacement du\n"
     "paquet ; s'il demande, ils sont gardés. -y les remplace.\n\n"
     "Codes de sortie : 0 succès, 1 erreur, 2 annulé ; avec -s, le code de\n"
     "sortie de la commande lancée après l'extraction. Dans cmd,\n"
     "\"start /wait %1 -s\" attend la fin et fixe %ERRORLEVEL%.",
     "Aufruf: %1 [Schalter]\n\n"
     "  -s           still: kein Fenster, Meldungen in die Konsole\n"
     "  -d ORDNER    nach ORDNER entpacken (samt übergeordneten Ordnern)\n"
     "  -p KENNWORT  das Kennwort verschlüsselter Dateien\n"
     "  -y           vorhandene Dateien ohne Rückfrage ersetzen\n"
     "  -l           den Inhalt auflisten\n"
     "  -t           das Archiv prüfen, ohne zu entpacken\n"
     "  -?           diese Hilfe\n\n"
     "Mit -s folgen vorhandene Dateien der Ersetzungsregel des Pakets;\n"
     "wo sie fragt, werden sie behalten. -y ersetzt sie.\n\n"
     "Rückgabewerte: 0 Erfolg, 1 Fehler, 2 abgebrochen; mit -s der\n"
     "Rückgabewert des Befehls nach dem Entpacken. In cmd wartet\n"
     "\"start /wait %1 -s\" auf das Ende und setzt %ERRORLEVEL%.",
     "Uso: %1 [opzioni]\n\n"
     "  -s           silenzioso: nessuna finestra, messaggi nella console\n"
     "  -d CARTELLA  estrarre in CARTELLA (creata con le sue cartelle madri)\n"
     "  -p PASSWORD  la password dei file cifrati\n"
     "  -y           sostituire i file esistenti senza chiedere\n"
     "  -l           elencare il contenuto\n"
     "  -t           verificare l'archivio senza estrarre\n"
     "  -?           questo aiuto\n\n"
     "Con -s i file esistenti seguono la regola di sostituzione del\n"
     "pacchetto; dove chiede, vengono mantenuti. -y li sostituisce.\n\n"
     "Codici di uscita: 0 successo, 1 errore, 2 annullato; con -s, il\n"
     "codice di uscita del comando eseguito dopo l'estrazione. In cmd,\n"
     "\"start /wait %1 -s\" attende la fine e imposta %ERRORLEVEL%.",
     "Uso: %1 [opciones]\n\n"
     "  -s             silencioso: sin ventana, mensajes en la consola\n"
     "  -d CARPETA     extraer en CARPETA (creada con sus carpetas padre)\n"
     "  -p CONTRASEÑA  la contraseña de los archivos cifrados\n"
     "  -y             reemplazar los archivos existentes sin preguntar\n"
     "  -l             listar el contenido\n"
     "  -t             probar el archivo comprimido sin extraer\n"
     "  -?             esta ayuda\n\n"
     "Con -s, los archivos existentes siguen la regla de reemplazo del\n"
     "paquete; donde pregunta, se conservan. -y los reemplaza.\n\n"
     "Códigos de salida: 0 éxito, 1 error, 2 cancelado; con -s, el código\n"
     "de salida del comando ejecutado tras la extracción. En cmd,\n"
     "\"start /wait %1 -s\" espera al final y fija %ERRORLEVEL%."},
    // Bytes
    {"%1 bytes", "%1 octets", "%1 Bytes", "%1 byte", "%1 bytes"},
    // UnitKB, UnitMB, UnitGB, UnitTB
    {"KB", "Ko", "KB", "KB", "KB"},
    {"MB", "Mo", "MB", "MB", "MB"},
    {"GB", "Go", "GB", "GB", "GB"},
    {"TB", "To", "TB", "TB", "TB"},
    // DecimalPoint
    {".", ",", ",", ",", ","},
    // ProblemOutsideFolder
    {"Refused: it would land outside the folder", "Refusé : il sortirait du dossier",
     "Abgelehnt: es läge außerhalb des Ordners", "Rifiutato: finirebbe fuori dalla cartella",
     "Rechazado: quedaría fuera de la carpeta"},
    // ProblemCannotCreateFolder
    {"Cannot create the folder", "Impossible de créer le dossier", "Ordner kann nicht angelegt werden",
     "Impossibile creare la cartella", "No se puede crear la carpeta"},
    // ProblemCannotWrite
    {"Cannot write", "Écriture impossible", "Schreiben nicht möglich", "Scrittura impossibile",
     "No se puede escribir"},
    // ProblemAccessDenied
    {"Access denied", "Accès refusé", "Zugriff verweigert", "Accesso negato", "Acceso denegado"},
    // ProblemDiskFull
    {"The disk is full", "Le disque est plein", "Der Datenträger ist voll", "Il disco è pieno",
     "El disco está lleno"},
    // ProblemPasswordNeeded
    {"Password needed", "Mot de passe nécessaire", "Kennwort erforderlich", "Password necessaria",
     "Se necesita la contraseña"},
    // ProblemWrongPassword
    {"Wrong password", "Mot de passe incorrect", "Falsches Kennwort", "Password errata",
     "Contraseña incorrecta"},
    // ProblemDamaged
    {"Damaged data", "Données endommagées", "Beschädigte Daten", "Dati danneggiati", "Datos dañados"},
    // ProblemBadCrc
    {"Damaged data (CRC error)", "Données endommagées (erreur de CRC)", "Beschädigte Daten (CRC-Fehler)",
     "Dati danneggiati (errore CRC)", "Datos dañados (error de CRC)"},
    // ProblemUnsupported
    {"Compression method or encryption not supported", "Méthode de compression ou chiffrement non pris en charge",
     "Komprimierungsmethode oder Verschlüsselung nicht unterstützt",
     "Metodo di compressione o cifratura non supportato", "Método de compresión o cifrado no admitido"},
    // ProblemOutOfMemory
    {"Out of memory", "Mémoire insuffisante", "Nicht genug Arbeitsspeicher", "Memoria insufficiente",
     "Memoria insuficiente"},
    // ProblemCancelled
    {"Cancelled", "Annulé", "Abgebrochen", "Annullato", "Cancelado"},
};
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<size_t>(Text::Count), "one row per text");

int pickLanguage()
{
    switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_FRENCH: return 1;
    case LANG_GERMAN: return 2;
    case LANG_ITALIAN: return 3;
    case LANG_SPANISH: return 4;
    default: return 0;
    }
}

} // namespace

int textLanguage()
{
    static const int language = pickLanguage();
    return language;
}

const wchar_t *text(Text id)
{
    static std::wstring converted[static_cast<size_t>(Text::Count)];
    std::wstring &wide = converted[static_cast<size_t>(id)];
    if (wide.empty()) {
        const char *utf8 = kTexts[static_cast<size_t>(id)][textLanguage()];
        const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
        wide.resize(static_cast<size_t>(n > 0 ? n : 1));
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], n);
        wide.resize(wide.size() - 1); // the terminating zero is c_str()'s
    }
    return wide.c_str();
}

std::wstring say(Text id, std::initializer_list<std::wstring> args)
{
    const std::wstring pattern = text(id);
    std::wstring out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const size_t n = i + 1 < pattern.size() ? static_cast<size_t>(pattern[i + 1] - L'1') : args.size();
        if (pattern[i] == L'%' && n < args.size()) {
            out += args.begin()[n];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::wstring decimal(uint64_t n)
{
    wchar_t digits[24];
    wchar_t *p = digits + 23;
    *p = 0;
    do
        *--p = static_cast<wchar_t>(L'0' + n % 10);
    while ((n /= 10) != 0);
    return p;
}

std::wstring sizeText(uint64_t bytes)
{
    if (bytes < 1024)
        return say(Text::Bytes, {decimal(bytes)});
    static const Text units[] = {Text::UnitKB, Text::UnitMB, Text::UnitGB, Text::UnitTB};
    uint64_t scale = 1024;
    size_t unit = 0;
    while (unit + 1 < sizeof units / sizeof units[0] && bytes >= scale * 1024) {
        scale *= 1024;
        ++unit;
    }
    const uint64_t tenths = bytes / scale * 10 + (bytes % scale) * 10 / scale;
    std::wstring number = decimal(tenths / 10);
    if (tenths < 1000)
        number += text(Text::DecimalPoint) + decimal(tenths % 10);
    return number + L" " + text(units[unit]);
}
