using System.Runtime.CompilerServices;

[assembly:InternalsVisibleTo("Corvan.Velo.Unity.Tests")]
