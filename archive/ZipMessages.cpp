#include "ZipMessages.h"

#include <QHash>

namespace {

struct MessageRow {
    int id;
    const char16_t *text;
};

// "\n" in a text is one line feed, as the messages are shown.
const MessageRow kMessages[] = {
    {10101, u"Erreur fatale dans ZipLib.DLL: exception d'arrêt"},
    {10102, u"Erreur - Aucune archive ZIP n'a été spécifiée!"},
    {10103, u"Mémoire insuffisante"},
    {10104, u"Erreur - mots de passe différents\nMot de passe ignoré"},
    {10105, u"Copie en cours: "},
    {10150, u"Erreur - aucun mot de passe donné pour l'ajout de fichiers"},
    {10151, u"Erreur - aucun mot de passe donné pour l'extraction de fichiers"},
    // Ours: the password dialog's buttons, caption and prompts.
    {10152, u"OK"},
    {10153, u"Annuler"},
    {10154, u"Mot de passe"},
    {10155, u"Entrez le mot de passe :"},
    {10156, u"Entrez le mot de passe une seconde fois :"},
    {10201, u"Erreur de positionnement lors de la lecture de l'archive ZIP"},
    {10202, u"Erreur de type inconnu intervenue dans la méthode List()"},
    {10203, u"Avertissement - La structure de l'archive est erronnée!"},
    {10204, u"Avertissement - Symbols incorrects à la fin du fichier ZIP!"},
    {10301, u"Erreur - aucun fichier à compresser!"},
    {10302, u"Action sans surveillance impossible à accomplir sans mot de passe"},
    {10303, u"Les fonctions de rafraîchissement (AddFreshen) et de mise à jour (AddUpdate) ne sont pas possibles sur une archive fragmentée"},
    {10401, u"Erreur - Aucun fichier n'est sélectionné pour effacement"},
    {10501, u"Erreur fatale dans UnzLib.DLL: exception d'arrêt"},
    {10502, u"Avertissement - Extraction effectuée sans surveillance: il est possible que certains fichiers n'aient pas été extraits"},
    {10601, u"ZIPLIB chargée"},
    {10602, u"ZipLibExec : fonction introuvable dans ZIPLIB.DLL!"},
    {10603, u"GetZipLibVersion : fonction introuvable dans ZIPLIB.DLL!"},
    {10604, u"ZIPLIB.DLL : librairie introuvable!"},
    {10701, u"UNZLIB chargée!"},
    {10702, u"UnzLibExec : fonction introuvable dans UNZLIB.DLL!"},
    {10703, u"GetUnzLibVersion : fonction introuvable dans UNZLIB.DLL!"},
    {10704, u"UNZLIB.DLL : librairie introuvable!"},
    {10801, u"Erreur - La taille totale des 3 propriétés de type texte dépasse 245 octets!"},
    {10802, u"Erreur - SFXSTUB.BIN : exécutable introuvable!"},
    {10803, u"Erreur: le fichier d'entrée n'a pas un format ZIP valide"},
    // Ours: shifting offsets past 4 GiB without Zip64 records would corrupt the archive.
    {10804, u"Erreur - L'archive dépasse 4 Go : ses positions ne peuvent être décalées sans enregistrements Zip64"},
    {10901, u"Erreur - aucun fichier d'extension .EXE n'a été spécifié"},
    {10902, u"Erreur: le fichier d'entrée n'est pas un fichier exécutable .EXE"},
    {10903, u"Erreur: Impossible de déterminer le type de l'archive SFX"},
    {11001, u"Le fichier spécifié en entrée n'existe pas"},
    {11002, u"Le fichier Zip n'a pas pu être ouvert"},
    {11003, u"Lecteur non valide: %s"},
    {11004, u"Lecteur non défini: %s"},
    {11005, u"Le nom de volume n'a pas pu être attribué"},
    {11006, u"Mémoire insuffisante pour afficher la boîte de dialogue (MsgBox)"},
    {11007, u"Opération annulée par l'utilisateur"},
    {11008, u"Erreur de positionnement dans le fichier d'entrée"},
    {11009, u"Erreur de création du fichier de sortie"},
    {11010, u"Erreur d'écriture sur le fichier de sortie"},
    {11011, u"Erreur de lecture de la fin du répertoire central"},
    {11012, u"Erreur de lecture d'un en-tête local"},
    {11013, u"Erreur de lecture d'un en-tête central"},
    {11014, u"La signature d'un en-tête local est erronnée"},
    {11015, u"La signature d'un en-tête central est erronée"},
    {11016, u"Erreur de lecture d'un nom de fichier local"},
    {11017, u"Erreur de lecture d'un nom de fichier central"},
    {11018, u"Erreur de lecture d'un champ local complémentaire"},
    {11019, u"Erreur de lecture d'un champ central complémentaire"},
    {11020, u"Erreur d'accés en lecture/écriture de la zone du descripteur de données"},
    {11021, u"Erreur de lecture des données compressées"},
    {11022, u"Erreur de lecture de commentaire de fichier"},
    {11023, u"Erreur d'écriture de commentaire d'archive"},
    {11024, u"Erreur inattendue dans les fonctions ReadSpan() ou WriteSpan()"},
    {11025, u"L'écriture d'archive sans surveillance sur plusieurs disques n'est pas supportée"},
    {11026, u"En-tête local introuvable dans la structure interne de l'archive"},
    {11027, u"Le fichier temporaire n'a pu être créé"},
    {11028, u"Erreur d'écriture d'un en-tête local"},
    {11029, u"Erreur d'écriture de l'en-tête central"},
    {11030, u"Erreur lors de l'écriture de la fin du répertoire central"},
    {11031, u"Erreur de lecture de la signature locale étendue"},
    {11032, u"Espace disque insuffisant sur le disque sélectionné"},
    {11033, u"Insérer le dernier disque"},
    {11034, u"Insérer le volume n°%.1d sur %.1d"},
    {11035, u"\ndans le lecteur: %s"},
    {11036, u"L'archive sélectionnée n'a pas un format ZIP correct"},
    {11037, u"Ceci est le premier disque d'une sauvegarde,\ninsérer le dernier disque"},
    {11038, u"Ceci est le %dème disque d'une sauvegarde,\ninsérer le dernier disque"},
    {11039, u"Un fichier %s est déjà présent.\nEtes-vous sûr de vouloir écraser ce fichier"},
    {11040, u"ATTENTION: Le disque actuellement inséré est le disque n°%d!!!\nEtes-vous sûr de vouloir écraser son contenu"},
    {11041, u"Erreur - Les archives auto-extractibles (.exe) ne peuvent être fragmentées"},
    {11042, u"Erreur de copie du nom de fichier de la structure CEH"},
    {11043, u"Erreur de positionnement lors de l'omission de la structure EOC"},
    {11044, u"Erreur de copie du commentaire de l'archive ZIP"},
    {11045, u"Ceci est le premier fichier d'une sauvegarde,\nsélectionner le dernier fichier"},
};

const QHash<int, const char16_t *> &messageIndex()
{
    static const QHash<int, const char16_t *> index = [] {
        QHash<int, const char16_t *> h;
        for (const MessageRow &row : kMessages)
            h.insert(row.id, row.text);
        return h;
    }();
    return index;
}

} // namespace

std::optional<QString> ZipMessages::text(int id)
{
    const char16_t *text = messageIndex().value(id, nullptr);
    if (!text)
        return std::nullopt;
    return QString::fromUtf16(text);
}

QString ZipMessages::missingText(int id)
{
    return QStringLiteral("The message table is probably not linked to the executable\n"
                          "Missing String ID is: ")
        + QString::number(id);
}

QString ZipMessages::format(const QString &pattern, const QList<QVariant> &args)
{
    QString out;
    out.reserve(pattern.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 >= pattern.size()) {
            out += pattern[i];
            continue;
        }
        // %d, %s and %.Nd (at least N digits); %% is a percent sign.
        qsizetype j = i + 1;
        int minDigits = 0;
        if (pattern[j] == '.') {
            ++j;
            while (j < pattern.size() && pattern[j].isDigit())
                minDigits = minDigits * 10 + pattern[j++].digitValue();
        }
        if (j < pattern.size() && (pattern[j] == 'd' || pattern[j] == 's') && next < args.size()) {
            const QVariant &arg = args[next++];
            if (pattern[j] == 'd') {
                const qlonglong n = arg.toLongLong();
                QString digits = QString::number(n < 0 ? -n : n).rightJustified(minDigits, '0');
                out += (n < 0 ? QStringLiteral("-") : QString()) + digits;
            } else {
                out += arg.toString();
            }
            i = j;
        } else if (pattern[j] == '%') {
            out += '%';
            i = j;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
