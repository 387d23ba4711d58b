#include "datagen/legal_lists.h"

#include <QSet>

namespace {
// Entries separated by '|'; surrounding blanks and line breaks are dropped.
QStringList entries(const char* text)
{
    QStringList list;
    for (const QString& item : QString::fromLatin1(text).split(QLatin1Char('|'))) {
        const QString clean = item.simplified();
        if (!clean.isEmpty())
            list << clean;
    }
    return list;
}

// Words separated by blanks.
QStringList words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList unique(const QStringList& list)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString& s : list) {
        const QString key = s.toLower();
        if (!seen.contains(key)) {
            seen.insert(key);
            out << s;
        }
    }
    return out;
}

QStringList buildActs()
{
    QStringList acts = entries(R"(
        Constitution of the Islamic Republic of Pakistan, 1973 | Code of Civil Procedure, 1908 |
        Code of Criminal Procedure, 1898 | Pakistan Penal Code, 1860 | Qanun-e-Shahadat Order, 1984 |
        Specific Relief Act, 1877 | Contract Act, 1872 | Limitation Act, 1908 | Transfer of Property Act, 1882 |
        Income Tax Ordinance, 2001 | Sales Tax Act, 1990 | Customs Act, 1969 | Civil Servants Act, 1973 |
        Service Tribunals Act, 1973 | Control of Narcotic Substances Act, 1997 | Anti-Terrorism Act, 1997 |
        National Accountability Ordinance, 1999 | Muslim Family Laws Ordinance, 1961 |
        West Pakistan Family Courts Act, 1964 | Dissolution of Muslim Marriages Act, 1939 |
        Guardians and Wards Act, 1890 | Succession Act, 1925 | Registration Act, 1908 | Stamp Act, 1899 |
        Land Acquisition Act, 1894 | Negotiable Instruments Act, 1881 |
        Financial Institutions (Recovery of Finances) Ordinance, 2001 | Companies Ordinance, 1984 |
        Companies Act, 2017 | Income Tax Ordinance, 1979 | Federal Excise Act, 2005 | Central Excise Act, 1944 |
        Arbitration Act, 1940 | Offence of Zina (Enforcement of Hudood) Ordinance, 1979 |
        Offences against Property (Enforcement of Hudood) Ordinance, 1979 | Prohibition (Enforcement of Hadd) Order, 1979 |
        Pakistan Arms Ordinance, 1965 | Prevention of Corruption Act, 1947 | Industrial Relations Act, 2012 |
        Industrial Relations Ordinance, 1969 | Industrial and Commercial Employment (Standing Orders) Ordinance, 1968 |
        Workmen's Compensation Act, 1923 | Employees' Old-Age Benefits Act, 1976 | Payment of Wages Act, 1936 |
        Removal from Service (Special Powers) Ordinance, 2000 | Evidence Act, 1872 | Partnership Act, 1932 |
        Sale of Goods Act, 1930 | Insurance Ordinance, 2000 | Motor Vehicles Ordinance, 1965 |
        Provincial Motor Vehicles Ordinance, 1965 | Citizenship Act, 1951 | Foreigners Act, 1946 | Passports Act, 1974 |
        Emigration Ordinance, 1979 | Elections Act, 2017 | Representation of the People Act, 1976 |
        Contempt of Court Ordinance, 2003 | Contempt of Court Act, 1976 | Legal Practitioners and Bar Councils Act, 1973 |
        Securities and Exchange Commission of Pakistan Act, 1997 | Securities Act, 2015 | Competition Act, 2010 |
        Pakistan Environmental Protection Act, 1997 | Drugs Act, 1976 | Pure Food Ordinance, 1960 |
        Pakistan Telecommunication (Re-organization) Act, 1996 |
        Pakistan Electronic Media Regulatory Authority Ordinance, 2002 | Prevention of Electronic Crimes Act, 2016 |
        Anti-Money Laundering Act, 2010 | Foreign Exchange Regulation Act, 1947 | Import and Export (Control) Act, 1950 |
        Mines Act, 1923 | Factories Act, 1934 | Court Fees Act, 1870 | Suits Valuation Act, 1887 |
        General Clauses Act, 1897 | Official Secrets Act, 1923 | Police Order, 2002 | Police Act, 1861 | Prisons Act, 1894 |
        Probation of Offenders Ordinance, 1960 | Juvenile Justice System Ordinance, 2000 |
        Juvenile Justice System Act, 2018 | Trade Marks Ordinance, 2001 | Trade Marks Act, 1940 |
        Copyright Ordinance, 1962 | Patents Ordinance, 2000 | Banking Companies Ordinance, 1962 |
        State Bank of Pakistan Act, 1956 | Banks (Nationalization) Act, 1974 | Modaraba Companies and Modaraba (Floatation and Control) Ordinance, 1980 |
        Cantonments Act, 1924 | Electricity Act, 1910 | Regulation of Generation, Transmission and Distribution of Electric Power Act, 1997 |
        Telegraph Act, 1885 | Oil and Gas Regulatory Authority Ordinance, 2002 | Capital Development Authority Ordinance, 1960 |
        Islamabad Rent Restriction Ordinance, 2001 | Islamabad Capital Territory (Zoning) Regulations, 1992 |
        Evacuee Property and Displaced Persons Laws (Repeal) Act, 1975 | Displaced Persons (Land Settlement) Act, 1958 |
        Land Reforms Regulation, 1972 | Land Reforms Act, 1977 | Benami Transactions (Prohibition) Act, 2017 |
        Defamation Ordinance, 2002 | Protection of Women (Criminal Laws Amendment) Act, 2006 |
        Criminal Law (Amendment) Act, 1958 | Criminal Law Amendment (Special Court) Act, 1976 |
        Special Courts (Offences in Banks) Ordinance, 1984 | Emigration Rules, 1979 | Civil Servants (Appointment, Promotion and Transfer) Rules, 1973 |
        Government Servants (Efficiency and Discipline) Rules, 1973 | Pakistan Army Act, 1952 | Pakistan Air Force Act, 1953 |
        Pakistan Navy Ordinance, 1961 | Frontier Crimes Regulation, 1901 | Majlis-e-Shoora (Parliament) Members (Salaries and Allowances) Act, 1974 |
        Higher Education Commission Ordinance, 2002 | Pakistan Medical and Dental Council Ordinance, 1962 |
        Pakistan Engineering Council Act, 1976 | Public Procurement Regulatory Authority Ordinance, 2002 |
        Right of Access to Information Act, 2017 | Transplantation of Human Organs and Tissues Act, 2010 |
        Hajj and Umrah (Regulation) Act, 2022 | Ehtram-e-Ramazan Ordinance, 1981 | Zakat and Ushr Ordinance, 1980 |
        Waqf Properties Ordinance, 1979 | Mental Health Ordinance, 2001 | Civil Aviation Authority Ordinance, 1982 |
        Port Qasim Authority Act, 1973 | Karachi Port Trust Act, 1886 | Pakistan Railways Act, 1890 |
        Post Office Act, 1898 | Ports Act, 1908 | Merchant Shipping Ordinance, 2001 | Carriage of Goods by Sea Act, 1925 |
        Recovery of Loans and Advances Act, 1979 | Auditor-General's (Functions, Powers and Terms and Conditions of Service) Ordinance, 2001 |
        Federal Public Service Commission Ordinance, 1977 | Establishment of the Office of Wafaqi Mohtasib (Ombudsman) Order, 1983 |
        Federal Tax Ombudsman Ordinance, 2000 | Protection against Harassment of Women at the Workplace Act, 2010
    )");
    // The provinces each have their own law on the same subjects.
    const QStringList provinces = entries("Punjab | Sindh | Khyber Pakhtunkhwa | Balochistan");
    const QStringList subjects = entries(R"(
        Civil Servants Act | Local Government Act | Land Revenue Act | Rented Premises Act | Service Tribunals Act |
        Consumer Protection Act | Sales Tax on Services Act | Finance Act | Pre-emption Act | Tenancy Act |
        Police Order | Prohibition of Smoking Act | Employees Social Security Ordinance | Minimum Wages Act |
        Motor Vehicles Rules | Food Authority Act | Protection of Women against Violence Act |
        Free and Compulsory Education Act | Environmental Protection Act | Industrial Relations Act |
        Shops and Establishments Ordinance | Arms Rules | Healthcare Commission Act | Excise and Taxation Act |
        Irrigation and Drainage Act | Canal and Drainage Act | Forest Act | Wildlife Act | Urban Immovable Property Tax Act |
        Agricultural Income Tax Act | Entertainment Duty Act | Stamp Rules | Registration Rules | Civil Servants Rules |
        Revenue Rules | Building Control Ordinance | Development Authorities Act | Cooperative Societies Act |
        Public Service Commission Ordinance | Removal from Service (Special Powers) Ordinance |
        Ehtesab Act | Transparency and Right to Information Act | Charities Act | Hindu Marriage Act | Court of Wards Act
    )");
    for (int s = 0; s < subjects.size(); ++s)
        for (int p = 0; p < provinces.size(); ++p) {
            // A year that looks like the statute book's: the same subject passed within a few years everywhere.
            const int year = 1958 + (s * 37 + p * 5) % 64;
            acts << QStringLiteral("%1 %2, %3").arg(provinces[p], subjects[s]).arg(year);
        }
    return unique(acts).mid(0, 300);
}
} // namespace

const QStringList& LegalLists::maleNames()
{
    static const QStringList list = entries(R"(
        Muhammad | Ahmad | Ali | Muhammad Aslam | Muhammad Akram | Muhammad Iqbal | Muhammad Ashraf | Muhammad Bashir |
        Muhammad Arshad | Muhammad Nawaz | Muhammad Rafiq | Muhammad Yousaf | Muhammad Saleem | Muhammad Tariq |
        Muhammad Anwar | Muhammad Hanif | Muhammad Sadiq | Ghulam Rasool | Ghulam Mustafa | Ghulam Haider |
        Ghulam Muhammad | Ghulam Abbas | Ghulam Qadir | Abdul Rehman | Abdul Ghafoor | Abdul Rashid | Abdul Majeed |
        Abdul Sattar | Abdul Hameed | Abdul Qayyum | Abdul Razzaq | Abdul Waheed | Allah Ditta | Allah Rakha |
        Allah Wasaya | Noor Muhammad | Fazal Din | Fazal Elahi | Mehr Din | Sher Muhammad | Khuda Bakhsh | Manzoor Ahmad |
        Mushtaq Ahmad | Nazir Ahmad | Bashir Ahmad | Zahoor Ahmad | Shabbir Hussain | Altaf Hussain | Zakir Hussain |
        Iftikhar Ahmad | Javed Iqbal | Khalid Mehmood | Tariq Mehmood | Shahid Mehmood | Asif Ali | Imran Khan |
        Kashif Ali | Naveed Akhtar | Waqas Ahmad | Usman Ghani | Zulfiqar Ali | Sajjad Hussain | Irfan Ullah |
        Rahim Bakhsh | Karim Bakhsh | Qadir Bakhsh | Gul Khan | Sher Khan | Sardar Khan | Aurangzeb | Jahangir |
        Fida Hussain | Riaz Ahmad | Ijaz Ahmad | Ishtiaq Ahmad | Mukhtar Ahmad | Habib Ullah | Sana Ullah | Zia Ullah |
        Atta Muhammad | Sultan Ahmad | Mumtaz Ali | Niaz Ahmad | Pervaiz Akhtar | Saeed Akhtar | Muhammad Shafi |
        Muhammad Latif | Muhammad Jamil | Muhammad Sharif | Muhammad Siddique | Muhammad Amin | Faqir Muhammad |
        Wali Muhammad | Dost Muhammad | Yar Muhammad | Lal Din | Chiragh Din | Umar Daraz | Zafar Iqbal | Abid Hussain
    )");
    return list;
}

const QStringList& LegalLists::femaleNames()
{
    static const QStringList list = entries(R"(
        Zainab Bibi | Fatima Bibi | Rasheeda Bibi | Nasreen Akhtar | Parveen Akhtar | Shamim Akhtar | Naseem Bibi |
        Sakina Bibi | Bashiran Bibi | Sughran Bibi | Ghulam Fatima | Hajra Bibi | Rubina Kausar | Shazia Parveen |
        Nusrat Jabeen | Kaneez Fatima | Allah Rakhi | Irshad Begum | Zubaida Khatoon | Saira Bano | Amina Bibi |
        Khadija Bibi | Sumaira Yasmin | Farzana Kausar | Naila Naz | Uzma Batool | Samina Akhtar | Tahira Parveen
    )");
    return list;
}

const QStringList& LegalLists::familyNames()
{
    static const QStringList list = entries(R"(
        Khan | Ahmad | Hussain | Shah | Malik | Chaudhry | Qureshi | Butt | Awan | Gondal | Bhatti | Cheema | Virk |
        Warraich | Jatoi | Bhutto | Soomro | Mengal | Bugti | Marri | Khattak | Yousafzai | Afridi | Durrani | Niazi |
        Siddiqui | Rizvi | Naqvi | Jafri | Gilani | Bukhari | Hashmi | Abbasi | Kayani | Janjua | Tiwana | Noon | Sial |
        Lashari | Baloch | Rind | Magsi | Memon | Shaikh | Ansari | Rajput | Arain | Jutt | Mughal | Kazmi | Mirza |
        Alvi | Farooqi | Usmani | Lodhi | Khokhar | Dogar | Sandhu | Dhillon | Kharal | Wattoo | Leghari | Mazari
    )");
    return list;
}

const QStringList& LegalLists::honorifics()
{
    static const QStringList list =
        entries("Ch. | Syed | Malik | Rana | Haji | Sh. | Mian | Sardar | Dr. | Pir | Khawaja | Raja | Mir");
    return list;
}

const QStringList& LegalLists::companyStems()
{
    static const QStringList list = entries(R"(
        Habib | Crescent | Dawood | Fauji | Nishat | Kohinoor | Gul Ahmed | Saphire | Ittehad | Al-Noor | Attock |
        Chenab | Indus | Ravi | Jhelum | Mehran | Khyber | Bolan | Margalla | Pak | Shezan | Packages | Millat |
        Sitara | Rafhan | Ghani | Lucky | Maple Leaf | Dewan | Saigol | Kohat | Cherat | Amin | Zeal | Shahtaj |
        Hilal | Crown | Faisal | Mustehkam | Prime | Sapphire | Bhanero | Colony | Shakarganj | Ittefaq | Ibrahim
    )");
    return list;
}

const QStringList& LegalLists::companyTrades()
{
    static const QStringList list = entries(R"(
        Textile Mills Ltd. | Sugar Mills Ltd. | Cement Ltd. | Fertilizer Company Ltd. | Steel Mills Ltd. | Traders |
        Enterprises | Builders (Pvt.) Ltd. | Industries Ltd. | Ghee Mills Ltd. | Rice Mills | Flour Mills |
        Oil Mills Ltd. | Spinning Mills Ltd. | Paper Mills Ltd. | Motors (Pvt.) Ltd. | Petroleum Ltd. | Leasing Ltd. |
        Modaraba | Construction Company | Pharmaceuticals (Pvt.) Ltd. | Cotton Ginners | Exports | Engineering Works
    )");
    return list;
}

const QStringList& LegalLists::publicParties()
{
    static const QStringList list = entries(R"(
        The State | Federation of Pakistan | Province of Punjab | Province of Sindh | Government of Khyber Pakhtunkhwa |
        Government of Balochistan | Government of Punjab | Government of Sindh | Commissioner of Income Tax |
        Commissioner Inland Revenue | Collector of Customs | Collector of Sales Tax | Lahore Development Authority |
        Karachi Development Authority | Capital Development Authority | Pakistan Railways | WAPDA | Sui Northern Gas |
        Habib Bank Ltd. | National Bank of Pakistan | United Bank Ltd. | Muslim Commercial Bank Ltd. |
        State Life Insurance Corporation | Board of Revenue | Deputy Commissioner | District Collector | Chairman, NAB |
        Election Commission of Pakistan | Secretary, Ministry of Interior | Secretary Education | Inspector-General of Police |
        Station House Officer | Municipal Committee | Cantonment Board | University of the Punjab | Federal Land Commission |
        Chief Settlement Commissioner | Additional Sessions Judge | Rent Controller | Pakistan Telecommunication Company Ltd. |
        Securities and Exchange Commission of Pakistan | Pakistan International Airlines Corporation | Punjab Public Service Commission
    )");
    return list;
}

const QStringList& LegalLists::categories()
{
    static const QStringList list = entries(R"(
        Criminal Law | Civil Procedure | Constitutional Law | Service Law | Income Tax | Bail | Family Law | Rent Law |
        Land Revenue | Pre-emption | Specific Relief | Contract | Limitation | Evidence | Narcotics | Banking |
        Recovery of Finance | Sales Tax | Customs | Company Law | Labour Law | Succession | Guardianship |
        Maintenance | Dower | Divorce | Custody of Minors | Election Law | Anti-Terrorism | Accountability |
        Quashment of FIR | Habeas Corpus | Land Acquisition | Transfer of Property | Property Law | Tort |
        Administrative Law | Interpretation of Statutes | Jurisdiction | Contempt of Court | Hudood | Islamic Law |
        Waqf | Tenancy | Registration | Stamp Duty | Court Fees | Negotiable Instruments | Partnership |
        Sale of Goods | Arbitration | Insurance | Intellectual Property | Environmental Law | Local Government |
        Motor Vehicles | Electricity | Telecommunication | Education | Police
    )");
    return list;
}

const QStringList& LegalLists::courts()
{
    static const QStringList list = entries(R"(
        Supreme Court of Pakistan | Lahore High Court | Sindh High Court | Peshawar High Court | Islamabad High Court |
        Balochistan High Court | Lahore High Court, Rawalpindi Bench | Lahore High Court, Multan Bench |
        Lahore High Court, Bahawalpur Bench | Sindh High Court, Hyderabad Bench | Sindh High Court, Sukkur Bench |
        Sindh High Court, Larkana Bench | Peshawar High Court, Abbottabad Bench | Peshawar High Court, Mingora Bench |
        Peshawar High Court, D.I. Khan Bench | Peshawar High Court, Bannu Bench | Balochistan High Court, Sibi Bench |
        Federal Shariat Court | Shariat Appellate Bench, Supreme Court | Federal Service Tribunal | Punjab Service Tribunal |
        Sindh Service Tribunal | Appellate Tribunal Inland Revenue | Customs Appellate Tribunal | Banking Court |
        Anti-Terrorism Court | Accountability Court | Labour Appellate Tribunal | National Industrial Relations Commission |
        Competition Appellate Tribunal | Environmental Protection Tribunal | Election Tribunal | Court of Sessions |
        Family Court | Rent Controller | Board of Revenue, Punjab | Supreme Appellate Court, Gilgit-Baltistan |
        High Court of Azad Jammu and Kashmir | Supreme Court of Azad Jammu and Kashmir | Federal Tax Ombudsman
    )");
    return list;
}

const QStringList& LegalLists::acts()
{
    static const QStringList list = buildActs();
    return list;
}

const QStringList& LegalLists::constitutionArticles()
{
    static const QStringList list = entries(R"(
        Art. 199 | Art. 199(1)(c) | Art. 199(1)(b)(ii) | Art. 184(3) | Art. 185(3) | Art. 187 | Art. 189 | Art. 190 |
        Art. 4 | Art. 9 | Art. 10-A | Art. 13 | Art. 18 | Art. 23 | Art. 24 | Art. 25 | Art. 212 | Art. 212(3) |
        Art. 203-D | Art. 203-F | Art. 62(1)(f) | Art. 63 | Art. 175 | Art. 175A | Art. 209 | Art. 248 | Art. 268
    )");
    return list;
}

// Roughly in the order of their frequency in reported judgments.
const QStringList& LegalLists::commonWords()
{
    static const QStringList list = unique(words(
        "the of and to in that a is was by be for on not as with he it has been which this had any court or his "
        "from an learned are at have counsel appellant no said were under petitioner case also so respondent there "
        "such order section would law accused if its upon present judgment being other who their act than only "
        "trial appeal same they may into high evidence made shall could before matter question therefore view "
        "petition suit facts facts prosecution all can time however one two we deceased plaintiff defendant where "
        "did those has when held out first after whether these am us our but about should her she them him what "
        "impugned state record even party parties provisions thus accordingly decision laid down further given "
        "person property part respect witness witnesses ground grounds relief issue contention argued submitted "
        "hearing circumstances rule terms notice date period reason reasons application decree authority "
        "jurisdiction right rights power powers public government officer proceedings filed passed dismissed "
        "allowed sentence conviction bail offence complainant statement fir police report investigation "
        "examined produced exhibit document documents agreement sale land possession title owner tenant rent "
        "landlord ejectment premises amount payment tax assessment income year years days months within "
        "without against between during since until upon each every either neither both many much more most "
        "some very well already still yet again above below thereof therein thereto hereby whereas whereby "
        "observed noted found considered perused heard recorded concluded maintained upheld set aside remanded "
        "modified reduced enhanced acquitted convicted sentenced released granted refused declined rejected "
        "accepted admitted denied proved established shown mentioned referred relied stated alleged claimed "
        "sought prayed contended urged pleaded averred asserted disputed challenged assailed questioned "
        "supreme constitution article provincial federal district sessions civil criminal magistrate judge "
        "justice bench tribunal commission board member chairman secretary collector commissioner inspector "
        "department ministry service servant employee employer worker appointment promotion seniority "
        "retirement pension dismissal removal termination reinstatement inquiry charge sheet show cause "
        "penalty punishment fine imprisonment death life rigorous simple murder qatl-i-amd injury hurt "
        "weapon pistol rifle recovery recovered memo site plan postmortem medical officer doctor hospital "
        "injuries wound wounds motive occurrence place house village town city area road night morning "
        "evening time hours brother son father mother wife husband daughter sister family relatives "
        "marriage nikah divorce talaq khula dower maintenance custody minor guardian children child "
        "inheritance heirs legal share deceased's mutation khasra revenue record entries jamabandi "
        "girdawari patwari tehsildar pre-emption pre-emptor vendee vendor talb demand notice notices "
        "contract breach damages compensation specific performance injunction declaration permanent "
        "temporary interim stay status quo plaint written plea pleadings framed issues onus burden proof "
        "standard reasonable doubt benefit conclusive presumption inference corroboration confession "
        "retracted extra-judicial identification parade ocular account chance eye interested related "
        "independent discrepancies contradictions improvements dishonest deliberate material minor "
        "substantial fatal benefit favour manner mode form nature kind extent degree effect consequence "
        "purpose object intention meaning language words expression interpretation construction statute "
        "enactment ordinance legislature parliament assembly amendment repeal saving retrospective "
        "prospective vested procedural substantive mandatory directory obligatory discretionary "
        "jurisdictional error illegality irregularity infirmity perversity misreading non-reading "
        "material irregularity revision revisional appellate original writ certiorari mandamus "
        "prohibition quo warranto habeas corpus fundamental discrimination equality dignity liberty "
        "fair trial due process natural justice audi alteram partem hearing opportunity bias malice "
        "mala fide bona fide good faith bad fraud misrepresentation collusion forgery fabricated "
        "bank loan finance customer borrower mortgage security guarantee default recovery cheque "
        "dishonoured company shares shareholders directors winding up liquidator creditors debts "
        "assets liabilities sales goods supply import export duty customs refund exemption rate "
        "valuation notification sro levy collection audit deduction withholding return assessing "
        "appellate commissioner tribunal reference question law answered affirmative negative "
        "favour revenue taxpayer assessee claimed deduction disallowed addition deleted confirmed "
        "election candidate nomination papers returning officer votes polling disqualification "
        "qualification member elected seat constituency result notification tribunal petitioner "
        "narcotics charas heroin grams kilograms sample samples chemical examiner report safe custody "
        "transmission warehouse seized case property forensic science agency positive negative "
        "terrorism terror fear insecurity society sectarian kidnapping ransom abduction extortion "
        "hostage explosive bomb blast firing killed persons injured attack attacked patrolling "
        "corruption corrupt practices assets beyond known sources misuse authority reference bureau "
        "plea bargain voluntary return accountability prosecutor chairman investigation officer "
        "lease licence allotment cancellation auction bid highest bidder price deposit earnest money "
        "costs order no as to parties left bear their own accordingly nevertheless notwithstanding hereinafter "
        "aforesaid abovementioned prior subsequent thereafter hence affidavit adjournment adjudication adverse "
        "aggrieved alienation allegation ambiguity apprehension arbitrator arrears attestation attorney award "
        "bailable bequest cancellation certified cessation clause cognizable cognizance commencement commutation "
        "compoundable compromise concurrent condonation confiscation consent consideration conspiracy contingent "
        "conveyance counterclaim covenant culpable custodian decretal deed defamation delegation delinquent "
        "demarcation deponent deposition detention devolution dilatory discharge disposition dissenting eviction "
        "embezzlement encroachment encumbrance endorsement enforceable entitlement equitable exclusion execution "
        "executor exemplary expropriation extradition fiduciary forfeiture franchise gift grievance habitual "
        "homicide immovable impleaded imputation incumbent infringement injunctive insolvency instrument "
        "interlocutory intestate irrevocable joinder judicature jurisprudence justiciable lessee lessor liability "
        "licensee lien liquidated litigant litigation mandate manslaughter maxim mediation misappropriation "
        "misjoinder mitigating moratorium movable negligence nominee nonjoinder nullity oath objection obligation "
        "omission ownership partition perjury possessory precedent preliminary premeditated prescribed "
        "presumptive probate proclamation promissory proprietary provocation proviso quasi ratification rebuttal "
        "receiver reconciliation redemption regularisation reimbursement remuneration renunciation repudiation "
        "rescind residuary revocation sanction settlement severability solvency statutory subpoena succession "
        "summons superannuation suppression surrender testamentary testator tortious transferee transferor "
        "trespass trustee undertaking usurpation vacancy validity verdict vicarious voidable waiver warrant "
        "abetment abscond absconder accrual annulment antecedent arbitral autonomy bifurcation cadre chattel "
        "codicil collateral debenture disbursement disclaimer escheat heirship illegitimate inheritable "
        "larceny misdescription mortgagor mortgagee pecuniary preferential remainderman reversioner stipulation"));
    return list;
}

const QStringList& LegalLists::openingPhrases()
{
    static const QStringList list = entries(R"(
        It is well settled that | The learned counsel for the appellant contended that |
        The learned counsel for the respondent argued that | In view of the above | For the foregoing reasons |
        It has been held that | The learned trial Court | The impugned judgment shows that | It is an admitted position that |
        The record reveals that | There is no cavil with the proposition that | The learned Additional Advocate-General submitted that |
        We have heard the learned counsel for the parties and perused the record | Admittedly |
        The prosecution case in brief is that | The brief facts of the case are that | Learned counsel has not been able to show that |
        It is by now settled law that | The question that arises for determination is whether | Needless to say |
        In the circumstances | Consequently | It is pertinent to mention that | The contention has no force, as |
        The learned High Court was right in holding that | With respect | The law on the point is that |
        Leave to appeal was granted to consider whether | The deposition of the witness shows that
    )");
    return list;
}

const QStringList& LegalLists::rareTerms()
{
    static const QStringList list = unique(
        words("estoppel laches acquiescence res judicata sub judice locus standi stare decisis obiter dicta ratio "
              "decidendi ultra vires intra vires mutatis mutandis ejusdem generis noscitur sociis nunc pro tunc "
              "ab initio de novo per incuriam sine qua non amicus curiae bona vacantia caveat emptor nemo debet "
              "functus officio coram non judice cessante ratione ex parte inter alia suo motu qisas diyat arsh "
              "daman tazir hadd zina qazf sariqa haraabah ikrah mutawalli waqif hiba marz-ul-maut shufa "
              "talb-i-muwathibat talb-i-ishhad talb-i-khusumat lambardar kanungo intiqal fard chowkidar benami "
              "pagri musawi sharakatdar khewat khatauni shamilat abadi deh mauza chak karez kareez inam jagir "
              "mushtarka iddat nafaqa jahez haq mehr mahr muajjal muajjal ghair rukhsati wali nikahnama "
              "mukhtar-e-aam tamleek nikkah champerty maintainer subrogation novation rescission frustration "
              "quantum meruit restitutio integrum lis pendens mesne profits easement prescriptive riparian "
              "usufructuary hypothecation pledgee pawnee bailee bailor indorsee drawee payee holder-in-due-course "
              "demurrage bottomry salvage jettison averment traverse replication rejoinder interrogatories "
              "sequestration attachment garnishee receivership surety indemnity apportionment contribution "
              "exoneration acquittance recusal disqualification impeachment misconduct inefficiency"));
    return list;
}

const QStringList& LegalLists::nameSyllables()
{
    static const QStringList list =
        words("ba bha da dha ga gha ja jha ka kha la ma na pa pha ra sa sha ta tha wa ya za ha qa ri ki mi ni si "
              "ti di bi gi li zi pi hi ru ku mu nu su tu du bu gu lu zu mo no ro so to do bo go lo zo");
    return list;
}

const QStringList& LegalLists::placeSuffixes()
{
    static const QStringList list = words("pur wala wali garh kot abad nagar ganj pura sar khel zai ke kay");
    return list;
}
