#pragma once
// Every text the program shows, in one place. Serbian, Latin script; messages without diacritics.
namespace zunor::texts {

// Application title: the caption of every message box.
inline constexpr wchar_t kAppTitle[] = L"Zunor 2021 - instalacija";

// Window.
inline constexpr wchar_t kWindowCaption[] = L"Instalacija programa Zunor 2021";
inline constexpr wchar_t kLabel1[] = L"Dobro dosli u instalaciju programa Zunor 2021";
inline constexpr wchar_t kCancel[] = L"Odustani";
inline constexpr wchar_t kFinish[] = L"Zavrsi";
inline constexpr wchar_t kNext[] = L"Dalje";
inline constexpr wchar_t kLabel2[] = L"Lokacija za instalaciju:";
inline constexpr wchar_t kDefaultLocation[] = L"C:\\Program Files\\Brantovik\\";
inline constexpr wchar_t kBrowse[] = L"...";
inline constexpr wchar_t kCheck1[] = L"Kreiraj desktop precice";
inline constexpr wchar_t kCheck2[] = L"Kreiraj programsku grupu";
inline constexpr wchar_t kCheck3[] = L"Prihvatam uslove iz licensnog ugovora";
inline constexpr wchar_t kCheck4[] = L"Pokreni program posle instalacije";

// The run.
inline constexpr wchar_t kNoLocation[] = L"Odredite lokaciju za instalaciju programa";
inline constexpr wchar_t kDownloading[] = L"Preuzimanje potrebnih datoteka";
inline constexpr wchar_t kFinishing[] = L"Dovr\u0161avanje instalacije";
inline constexpr wchar_t kSuccess[] = L"Instalacija programa je uspjesno zavrsena.";
// A large file on the status line: "<status> - <name> (x od y MB)".
inline constexpr wchar_t kProgressNameSeparator[] = L" - ";
inline constexpr wchar_t kProgressOf[] = L" od ";
inline constexpr wchar_t kProgressUnit[] = L" MB";
inline constexpr wchar_t kDecimalComma[] = L",";

// Incomplete installation report.
inline constexpr wchar_t kIncompleteHeader[] = L"Instalacija programa nije u potpunosti zavrsena.\r\nSledece stavke nisu uspele:";
inline constexpr wchar_t kItemNotDownloaded[] = L"Nije preuzeto: ";            // <name> (<reason>)
inline constexpr wchar_t kItemBadName[] = L"Preskoceno, neispravan naziv: ";   // <name as listed>
inline constexpr wchar_t kItemNotRegistered[] = L"Nije registrovano: ";        // <name>
inline constexpr wchar_t kItemSetting[] = L"Nije upisano podesavanje: ";       // <path of config.ini>
inline constexpr wchar_t kItemLayer[] = L"Nije upisana oznaka kompatibilnosti: ";  // <value name>
inline constexpr wchar_t kItemShortcut[] = L"Nije napravljena precica: ";      // <path of the .lnk>
inline constexpr wchar_t kItemRecord[] = L"Nije upisan zapis o instalaciji: ";  // <path of the record>
inline constexpr wchar_t kItemUninstaller[] = L"Nije sacuvan program za uklanjanje: ";  // <path>
inline constexpr wchar_t kItemUninstallEntry[] = L"Nije upisan unos u spisak instaliranih programa: ";  // <key>
inline constexpr wchar_t kItemSharedCount[] = L"Nije upisan brojac deljene komponente: ";  // <path>
inline constexpr wchar_t kItemRedirected[] = L"Nije postavljeno, fascikla vodi na drugo mesto: ";  // <path>
inline constexpr wchar_t kMoreItemsPrefix[] = L"... i jos ";                    // <N>
inline constexpr wchar_t kMoreItemsSuffix[] = L" stavki.";

// Removal (/UNINSTALL).
inline constexpr wchar_t kRemoveQuestion[] =
    L"Da li zelite da uklonite program Zunor 2021 sa ovog racunara?\r\n\r\n"
    L"Baza firme.mdb i datoteke koje ste sami dodali ostaju sacuvane.";
// Zunor 2021 runs from the program folder (installing or removing), then the programs one a line.
inline constexpr wchar_t kProductRunning[] = L"Program Zunor 2021 je pokrenut. Zatvorite ga, pa pokusajte ponovo.\r\n\r\n";
// /S: the run waits that long for it, then ends.
inline constexpr wchar_t kWaitingForProductPrefix[] = L"Instalacija ceka da se program zatvori (najvise ";
inline constexpr wchar_t kWaitingForProductSuffix[] = L" s).";
inline constexpr wchar_t kInstallStopped[] = L"Instalacija je prekinuta, nista nije promenjeno.";
// A second setup program (installing or removing) while one runs.
inline constexpr wchar_t kAlreadyRunning[] =
    L"Instalacija programa Zunor 2021 je vec pokrenuta na ovom racunaru. Sacekajte da se zavrsi, pa pokusajte ponovo.";
inline constexpr wchar_t kRemoveStopped[] = L"Uklanjanje je prekinuto, nista nije promenjeno.";
inline constexpr wchar_t kRemoveNothing[] = L"Program Zunor 2021 nije instaliran na ovom racunaru, nema sta da se ukloni.";
inline constexpr wchar_t kRemoveDone[] = L"Program Zunor 2021 je uklonjen sa racunara.";
inline constexpr wchar_t kRemoveKeptIn[] = L"Vasi podaci i datoteke koje ste dodali sacuvani su u fascikli: ";  // <folder>
inline constexpr wchar_t kRemoveIncompleteHeader[] =
    L"Uklanjanje programa nije u potpunosti zavrseno.\r\nSledece stavke nisu uklonjene:";
inline constexpr wchar_t kItemNotRemoved[] = L"Nije uklonjeno: ";                           // <path>
inline constexpr wchar_t kItemRemovedAtRestart[] = L"Bice uklonjeno posle ponovnog pokretanja racunara: ";  // <path>
inline constexpr wchar_t kItemNotUnregistered[] = L"Nije odjavljeno: ";                      // <name>
inline constexpr wchar_t kItemLayerNotRemoved[] = L"Nije uklonjena oznaka kompatibilnosti: ";  // <value name>
inline constexpr wchar_t kItemEntryNotRemoved[] = L"Nije uklonjen unos iz spiska instaliranih programa: ";  // <key>
inline constexpr wchar_t kRecordDamaged[] = L"Zapis o instalaciji je ostecen.";
inline constexpr wchar_t kRecordChanged[] =
    L"Zapis o instalaciji je izmenjen posle instalacije. Pokrenite ponovo instalaciju programa, ona ga popravlja.";
// An entry of the record that no installation makes (a line added to it): never touched.
inline constexpr wchar_t kItemNotOfInstallation[] = L"Preskoceno, ne pripada instalaciji: ";  // <path>
inline constexpr wchar_t kSummaryRemoved[] = L"Uklanjanje zavrseno.";
inline constexpr wchar_t kSummaryRemoveIncompletePrefix[] = L"Uklanjanje nije u potpunosti zavrseno (";
inline constexpr wchar_t kSummaryRemoveFailed[] = L"Uklanjanje nije uspelo.";

// Why a name from a listing is refused (install log).
inline constexpr wchar_t kRefusedEmpty[] = L"prazan naziv";
inline constexpr wchar_t kRefusedNotOneSegment[] = L"naziv nije jedna datoteka";
inline constexpr wchar_t kRefusedBadReference[] = L"neispravna oznaka znaka";
inline constexpr wchar_t kRefusedBadUtf8[] = L"neispravan UTF-8 zapis";
inline constexpr wchar_t kRefusedBadCharacter[] = L"nedozvoljen znak u nazivu";
inline constexpr wchar_t kRefusedTrailingDotOrSpace[] = L"naziv se zavrsava tackom ili razmakom";
inline constexpr wchar_t kRefusedDeviceName[] = L"rezervisan naziv uredjaja";
inline constexpr wchar_t kRefusedOutsideFolder[] = L"putanja izlazi iz fascikle";

// An install location refused before anything is made: the heading with the location, then why.
inline constexpr wchar_t kLocationUnusable[] =
    L"Lokacija za instalaciju ne moze da se koristi: "; // <location>
inline constexpr wchar_t kLocationNotFull[] =
    L"Upisite punu putanju, sa slovom diska (C:\\...) ili mreznu (\\\\server\\...).";
inline constexpr wchar_t kLocationPartPrefix[] = L"Deo putanje \""; // <name>": <why>.
inline constexpr wchar_t kLocationAnsiLacks[] = L"Podesavanja programa ne mogu tacno da zapisu ove znakove: ";
inline constexpr wchar_t kLocationSuggestion[] = L"Izaberite fasciklu bez njih, na primer: "; // <location>
// The closing message, when the settings and shortcuts name the program folder by its short form.
inline constexpr wchar_t kShortFormNote[] =
    L"Putanja programa je u podesavanjima i precicama upisana u kratkom obliku: ";

// Failure report: "Greska <number>: <description>" then what was being done.
inline constexpr wchar_t kErrorPrefix[] = L"Greska ";
inline constexpr wchar_t kFolderFailed[] = L"Fascikla ne moze da se napravi.";
inline constexpr wchar_t kFolderRedirected[] = L"Fascikla vodi na drugo mesto (veza ili spoj).";
inline constexpr wchar_t kListingFailed[] = L"Spisak datoteka nije preuzet sa servera.";
inline constexpr wchar_t kLaunchFailed[] = L"Program ne moze da se pokrene.";
// "Pokreni program": why the product was not started, then "Datoteka: <path>".
inline constexpr wchar_t kLaunchNotPlaced[] = L"Program nije pokrenut: ova instalacija ga nije postavila.";
inline constexpr wchar_t kLaunchChanged[] = L"Program nije pokrenut: datoteka je izmenjena posle instalacije.";
inline constexpr wchar_t kLaunchNoShell[] =
    L"Program nije pokrenut: nema radne povrsine korisnika preko koje bi se pokrenuo. Pokrenite ga sami.";
inline constexpr wchar_t kContextFolder[] = L"Fascikla: ";
inline constexpr wchar_t kContextUrl[] = L"Adresa: ";
inline constexpr wchar_t kContextFile[] = L"Datoteka: ";
// Why a listing could not be had, on a line of its own, when the system's text does not say it.
inline constexpr wchar_t kProxyAuthPrefix[] = L"Proksi server ";  // <proxy>
inline constexpr wchar_t kProxyAuthSuffix[] = L" trazi prijavu (korisnicko ime i lozinku).";
inline constexpr wchar_t kSentToUnprotected[] = L"Server je zahtev preusmerio na nezasticenu adresu: ";  // <url>
// The program folder's page arrived without a single link to a file: "<link> (HTTP status <n>)."
inline constexpr wchar_t kNoFileListed[] = L"Stranica sa servera ne sadrzi spisak datoteka.";
inline constexpr wchar_t kNoFileLink[] = L"Na stranici nema nijedne veze ka datoteci programa";
inline constexpr wchar_t kNoFileLinkStatus[] = L" (HTTP status "; // <status>)

// Error of the registry write for a value kind it cannot store (number 1001).
inline constexpr wchar_t kUnsupportedValueType[] = L"Unsupported value type";

// Command line.
inline constexpr wchar_t kUnknownSwitch[] = L"Nepoznat prekidac: ";
inline constexpr wchar_t kBadServerPrefix[] = L"Neispravna adresa servera: ";
inline constexpr wchar_t kBadServerSuffix[] = L" (ocekuje se https://server[:port])";
inline constexpr wchar_t kBadValue[] = L"Neispravna vrednost: ";
inline constexpr wchar_t kSummaryOk[] = L"Instalacija zavrsena.";
inline constexpr wchar_t kSummaryIncompletePrefix[] = L"Instalacija nije u potpunosti zavrsena (";
inline constexpr wchar_t kSummaryIncompleteSuffix[] = L" stavki).";
inline constexpr wchar_t kSummaryFailed[] = L"Instalacija nije uspela.";

// A file the proxy did not let through: "proksi server <proxy> trazi prijavu".
inline constexpr wchar_t kReasonProxyPrefix[] = L"proksi server ";
inline constexpr wchar_t kReasonProxySuffix[] = L" trazi prijavu";

// SHA256SUMS: why a file it concerns is not installed, and its line of its own.
inline constexpr wchar_t kReasonBadSumsLine[] = L"neispravan red u SHA256SUMS";
inline constexpr wchar_t kReasonNotListed[] = L"navedena u SHA256SUMS, a nema je na serveru";
inline constexpr wchar_t kReasonNoSums[] = L"SHA256SUMS nije preuzet, provera nije moguca";
inline constexpr wchar_t kItemBadSumsLine[] = L"Neispravan red u SHA256SUMS: ";  // <url>, red <N>
inline constexpr wchar_t kSumsLineNumber[] = L", red ";
// The publisher's signature over a folder's SHA256SUMS (SHA256SUMS.sig).
inline constexpr wchar_t kReasonNotSigned[] = L"nije navedena u potpisanom SHA256SUMS";
inline constexpr wchar_t kSumsNotSigned[] = L"Kontrolni zbirovi (SHA256SUMS) fascikle nisu potpisani od strane izdavaca programa.";
inline constexpr wchar_t kSignatureInvalid[] = L"Potpis SHA256SUMS.sig ne odgovara kljucu izdavaca.";
inline constexpr wchar_t kSignatureNotFetchedPrefix[] = L"SHA256SUMS.sig nije preuzet: ";  // <reason>
inline constexpr wchar_t kSignatureMissing[] = L"Na serveru nema SHA256SUMS.sig, a ova instalacija zahteva potpis izdavaca.";
inline constexpr wchar_t kSumsMissing[] = L"Na serveru nema SHA256SUMS, a ova instalacija zahteva potpisane kontrolne zbirove.";

// /LIST: one line per file (address, destination, action), then the totals.
inline constexpr wchar_t kPlanDownload[] = L"preuzima se";
inline constexpr wchar_t kPlanDownloadChecked[] = L"preuzima se, uz proveru SHA-256";
inline constexpr wchar_t kPlanKeep[] = L"zadrzava se postojeca datoteka";
inline constexpr wchar_t kPlanCurrent[] = L"vec je na mestu (SHA-256 se poklapa), ne preuzima se";
inline constexpr wchar_t kPlanChecksums[] = L"cita se SHA256SUMS, ne instalira se";
inline constexpr wchar_t kPlanSignature[] = L"cita se SHA256SUMS.sig (potpis izdavaca), ne instalira se";
inline constexpr wchar_t kPlanSkipPrefix[] = L"preskace se: ";
inline constexpr wchar_t kPlanNoDestination[] = L"-";
inline constexpr wchar_t kPlanTotalsPrefix[] = L"Ukupno: ";
inline constexpr wchar_t kPlanTotalsDownload[] = L" za preuzimanje, ";
inline constexpr wchar_t kPlanTotalsKeep[] = L" zadrzano, ";
inline constexpr wchar_t kPlanTotalsSkip[] = L" preskoceno.";

// Names on disk and on the server.
inline constexpr wchar_t kProgramFolder[] = L"zunor2021";
inline constexpr wchar_t kProductExe[] = L"Zunor2021VK.exe";
inline constexpr wchar_t kUpdaterExe[] = L"updater.exe";
inline constexpr wchar_t kDatabase[] = L"firme.mdb";
inline constexpr wchar_t kChecksumsFile[] = L"SHA256SUMS";  // never installed
inline constexpr wchar_t kSignatureFile[] = L"SHA256SUMS.sig";  // never installed
inline constexpr wchar_t kSettingsFile[] = L"config.ini";
inline constexpr wchar_t kSettingsSection[] = L"Zunor";
inline constexpr wchar_t kSettingsKey[] = L"PROGRAM_BAZE_FASCIKLA";
inline constexpr wchar_t kLayersKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
inline constexpr wchar_t kLayerData[] = L"~ RUNASADMIN WINXPSP3";
inline constexpr wchar_t kDesktopLink[] = L"Brantovik ZUNOR 2021.lnk";
inline constexpr wchar_t kGroupName[] = L"Brantovik";
inline constexpr wchar_t kGroupLink[] = L"ZUNOR.lnk";
inline constexpr wchar_t kFixedProgramsFolder[] = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
// What lets the product be removed: the setup program's copy and the record, in a folder of their own
// under Program Files (the 32-bit one) where only administrators write, and the entry.
inline constexpr wchar_t kRemovalFolder[] = L"Brantovik\\Zunor 2021 uklanjanje";
inline constexpr wchar_t kUninstallerFile[] = L"ukloni.exe";
inline constexpr wchar_t kRecordFile[] = L"ukloni.dat";
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zunor2021";
inline constexpr wchar_t kSharedDllsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline constexpr wchar_t kDisplayName[] = L"Zunor 2021";
inline constexpr wchar_t kPublisher[] = L"Brantovik";
inline constexpr wchar_t kUninstallSwitch[] = L"/UNINSTALL";
inline constexpr wchar_t kSilentSwitch[] = L"/S";

}  // namespace zunor::texts
